#include "monitor/xls/compound_file.h"

#include <memory>
#include <mutex>

#include <gsf/gsf-infile.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

namespace xls {
namespace {

struct Unref {
  void operator()(gpointer object) const {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GsfPtr = std::unique_ptr<T, Unref>;

void InitGsfOnce() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

}  // namespace

SaveStatus WriteCompoundFile(const std::string& path, std::string_view streamName, std::span<const uint8_t> content) {
  InitGsfOnce();
  GError* error = nullptr;
  GsfPtr<GsfOutput> file(gsf_output_stdio_new(path.c_str(), &error));
  if (error) g_error_free(error);
  if (!file) return SaveStatus::FileNotCreated;

  GsfPtr<GsfOutfile> container(gsf_outfile_msole_new(file.get()));
  if (!container) {
    gsf_output_close(file.get());
    return SaveStatus::FileNotCreated;
  }
  std::string name(streamName);
  GsfPtr<GsfOutput> stream(gsf_outfile_new_child(container.get(), name.c_str(), FALSE));
  if (!stream) {
    gsf_output_close(GSF_OUTPUT(container.get()));
    return SaveStatus::StreamNotCreated;
  }
  bool written = gsf_output_write(stream.get(), content.size(), content.data());
  written = gsf_output_close(stream.get()) && written;
  written = gsf_output_close(GSF_OUTPUT(container.get())) && written;
  // Whether closing the container also closed the file differs between
  // libgsf versions; closing twice is an error there.
  if (!gsf_output_is_closed(file.get())) written = gsf_output_close(file.get()) && written;
  return written ? SaveStatus::Saved : SaveStatus::WorkbookNotWritten;
}

}  // namespace xls
