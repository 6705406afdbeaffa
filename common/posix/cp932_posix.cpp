#include <iconv.h>

#include "common/cp932.h"

namespace kowaki::platform {

namespace {

// One iconv descriptor per direction, opened on first use and kept: opening
// one per character would dominate listing a large archive.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts the whole of `in` (one character) or nothing.
  bool ConvertAll(std::string_view in, std::string* out) {
    if (!valid() || in.size() > 4) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    auto* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    constexpr auto kFailed = static_cast<size_t>(-1);
    if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == kFailed || in_left != 0 ||
        iconv(cd_, nullptr, nullptr, &out_ptr, &out_left) == kFailed) {
      return false;
    }
    out->append(buffer, static_cast<size_t>(out_ptr - buffer));
    return true;
  }

 private:
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t cd_;
};

}  // namespace

bool Cp932CharToUtf8(std::string_view bytes, std::string* utf8) {
  thread_local Converter converter("UTF-8", "CP932");
  return converter.ConvertAll(bytes, utf8);
}

bool Utf8CharToCp932(std::string_view utf8_char, std::string* bytes) {
  thread_local Converter converter("CP932", "UTF-8");
  return converter.ConvertAll(utf8_char, bytes);
}

}  // namespace kowaki::platform
