// Feeds arbitrary bytes to the dialog's mark-up reader. Besides crashes, it checks that the
// runs give back the message byte for byte: nothing dropped, nothing invented.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ui/ErrorDialogController.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string message(reinterpret_cast<const char*>(data), size);
  std::string rebuilt;
  for (const ui::TextRun& run : ui::parseMessageMarkup(message)) {
    rebuilt += run.link ? "<a href='" + *run.link + "'>" + run.text + "</a>" : run.text;
  }
  if (rebuilt != message) std::abort();
  return 0;
}
