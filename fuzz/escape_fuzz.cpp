// The escape compiler for option values on any text.
//
// What must hold: the result is never longer than the text, a text without
// backslashes is left as it is, and every escape the programs document comes
// out as its character.
#include <string>

#include "fuzz_input.h"
#include "pedigree.h"

using namespace haldor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string s = text;
  compile_escape_char(s);
  fuzz::expect(s.size() <= text.size(), "escapes made the text longer");
  if (text.find('\\') == std::string::npos) fuzz::expect(s == text, "text without escapes changed");

  // Each documented escape, wrapped in the fuzzer's text, gives its character.
  static const std::pair<const char*, char> kEscapes[] = {
      {"\\t", '\t'}, {"\\n", '\n'}, {"\\r", '\r'}, {"\\\\", '\\'}, {"\\\"", '"'}, {"\\'", '\''}};
  if (text.find('\\') == std::string::npos) {
    for (const auto& [escape, character] : kEscapes) {
      std::string wrapped = text + escape + text;
      compile_escape_char(wrapped);
      fuzz::expect(wrapped == text + character + text, "documented escape not compiled");
    }
  }
  return 0;
}
