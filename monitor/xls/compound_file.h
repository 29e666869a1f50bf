// The OLE2 compound file around a workbook stream, through libgsf.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace xls {

enum class SaveStatus {
  Saved,
  FileNotCreated,      // the compound file could not be created at the path
  StreamNotCreated,    // the file was created but the stream could not be
  WorkbookNotWritten,  // writing or closing the stream or the file failed
};

// Writes a compound file at `path` (UTF-8, as the file system names files)
// holding one stream `streamName` with `content`. On failure a partly
// written file may remain.
SaveStatus WriteCompoundFile(const std::string& path, std::string_view streamName, std::span<const uint8_t> content);

}  // namespace xls
