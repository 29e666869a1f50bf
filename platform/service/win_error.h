// Windows-style error codes for the service stand-ins. The host passes them
// on as exit codes, so "ended with the registry error" keeps its meaning.
#pragma once

namespace service {

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorInvalidFunction = 1;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidData = 13;
inline constexpr long kErrorWriteProtect = 19;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorDiskFull = 112;
inline constexpr long kErrorBadDatabase = 1009;  // the registry file cannot be read as one
inline constexpr long kErrorCantWrite = 1013;
inline constexpr long kErrorServiceRequestTimeout = 1053;
inline constexpr long kErrorServiceDoesNotExist = 1060;
inline constexpr long kErrorServiceCannotAcceptControl = 1061;
inline constexpr long kErrorServiceNotActive = 1062;
inline constexpr long kErrorFailedServiceControllerConnect = 1063;
inline constexpr long kErrorDatabaseDoesNotExist = 1065;
inline constexpr long kErrorServiceExists = 1073;

// The nearest code for a failed system call's errno.
long ErrorFromErrno(int error);

}  // namespace service
