// Fuzz target for the server's maintenance answer (the page of a 502 or
// 503): the first byte picks the language code, the rest is the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "servers/httx503_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kLanguages[] = {"en", "ru", "de", ""};
  const std::string_view page(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto format = [](int64_t seconds) { return std::to_string(seconds); };
  Httx503Answer answer;
  ParseHttx503Answer(page, kLanguages[data[0] & 3], 1700000000, format, answer);
  return 0;
}
