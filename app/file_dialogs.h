#pragma once
// The filter list of the common file dialogs: display text and pattern in
// pairs, each ended by a zero, the whole ended by one more.

#include <initializer_list>
#include <string>
#include <string_view>

namespace kowaki {

inline std::string FileDialogFilter(std::initializer_list<std::string_view> texts_and_patterns) {
  std::string filter;
  for (std::string_view part : texts_and_patterns) {
    filter += part;
    filter += '\0';
  }
  return filter;  // c_str() adds the last zero
}

}  // namespace kowaki
