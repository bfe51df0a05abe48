// Fuzz target for the language tables: the input is loaded as a ".lso"
// image, and each string it holds (or the input itself) is used as a format
// with a fixed set of arguments. A table read from source must encode and
// read back to the same strings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/simple_mem_read_stream.h"
#include "config/language_format.h"
#include "config/launcher_lang.h"
#include "config/lso_source.h"

namespace {

void Format(std::string_view text) {
  static const FormatArg kArgs[] = {FormatArg::Text("t\xC3\xA9xt"), FormatArg::Integer(-42),
                                    FormatArg::Float(3.25), FormatArg::Integer(INT64_MIN)};
  FormatLanguageText(text, kArgs);
  PrintfConversions(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CLauncherLang language(std::make_unique<CSimpleMemReadStream>(data, size), "English", "en", "", 9);
  std::string error;
  if (language.Load(error)) {
    for (size_t i = 0; i < language.Count() && i < 512; ++i) Format(language.String(static_cast<int32_t>(i)));
  }
  Format(input);

  std::vector<std::string> strings;
  if (ParseStringSource(input, strings, error)) {
    const std::string image = EncodeLso(strings);
    CLauncherLang again(std::make_unique<CSimpleMemReadStream>(image.data(), image.size()), "x", "x", "", 0);
    if (!strings.empty()) {
      if (!again.Load(error) || again.Count() != strings.size()) abort();
      for (size_t i = 0; i < strings.size(); ++i)
        if (again.String(static_cast<int32_t>(i)) != strings[i]) abort();
    }
    CheckTranslation(strings, strings, error);
  }
  return 0;
}
