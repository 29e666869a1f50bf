#include "platform/service/win_error.h"

#include <cerrno>

namespace service {

long ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case EACCES:
    case EPERM: return kErrorAccessDenied;
    case EROFS: return kErrorWriteProtect;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EINVAL:
    case ENAMETOOLONG: return kErrorInvalidParameter;
    default: return kErrorCantWrite;
  }
}

}  // namespace service
