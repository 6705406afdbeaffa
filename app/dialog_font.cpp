#include "app/dialog_font.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/little_endian.h"

namespace kowaki {

namespace {

constexpr wchar_t kTemplateFace[] = L"ＭＳ Ｐゴシック";  // as res/kowaki.rc names it

struct ScreenDcRelease {
  void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcRelease>;

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Whether `face` is installed with glyphs for code page 932's characters.
bool HasJapaneseGlyphs(HDC dc, std::wstring_view face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW font = {};
  font.lfCharSet = SHIFTJIS_CHARSET;
  face.copy(font.lfFaceName, face.size());
  bool found = false;
  EnumFontFamiliesExW(dc, &font, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

// The first proportional and the first fixed face with the Japanese glyphs,
// faces for vertical text (named "@...") left out: the templates' face is
// proportional.
struct AnyFace {
  std::wstring proportional;
  std::wstring fixed;
};

int CALLBACK NoteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM any) {
  auto& faces = *reinterpret_cast<AnyFace*>(any);
  if (font->lfFaceName[0] == L'@') return 1;
  std::wstring& slot =
      (font->lfPitchAndFamily & 3) == VARIABLE_PITCH ? faces.proportional : faces.fixed;
  if (slot.empty()) slot = font->lfFaceName;
  return faces.proportional.empty() ? 1 : 0;
}

std::wstring ChooseFace() {
  const ScreenDc dc(GetDC(nullptr));
  if (!dc) return kTemplateFace;
  for (const wchar_t* face : {kTemplateFace, L"MS UI Gothic", L"Meiryo UI", L"Yu Gothic UI"}) {
    if (HasJapaneseGlyphs(dc.get(), face)) return face;
  }
  LOGFONTW font = {};
  font.lfCharSet = SHIFTJIS_CHARSET;
  AnyFace faces;
  EnumFontFamiliesExW(dc.get(), &font, NoteFace, reinterpret_cast<LPARAM>(&faces), 0);
  if (!faces.proportional.empty()) return faces.proportional;
  return faces.fixed.empty() ? kTemplateFace : faces.fixed;
}

// The offset just past the text (or 0xFFFF and an ordinal) at `at` of a
// dialog template; past the end when it runs beyond it.
size_t SkipText(std::span<const uint8_t> bytes, size_t at) {
  if (at + 2 <= bytes.size() && ReadLe16(&bytes[at]) == 0xFFFF) return at + 4;
  while (at + 2 <= bytes.size() && ReadLe16(&bytes[at]) != 0) at += 2;
  return at + 2;
}

// A copy of an extended dialog template (DLGTEMPLATEEX) naming `face` for
// its font, its items moved to stay on 4-byte boundaries; any other
// template, or one that names no font, copied as it is. In 4-byte words,
// which the system wants the template aligned to.
std::vector<DWORD> InFace(std::span<const uint8_t> original, std::wstring_view face) {
  constexpr size_t kHeader = 26;  // up to and with the dialog's size
  std::vector<uint8_t> bytes(original.begin(), original.end());
  const bool extended = bytes.size() > kHeader && ReadLe16(&bytes[2]) == 0xFFFF;
  if (extended && (ReadLe32(&bytes[12]) & DS_SETFONT)) {
    // The menu, the class and the title, then size, weight, italic, charset.
    const size_t face_at = SkipText(bytes, SkipText(bytes, SkipText(bytes, kHeader))) + 6;
    const size_t items_at = (SkipText(bytes, face_at) + 3) & ~size_t{3};
    if (items_at <= bytes.size()) {
      std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(face_at));
      const auto* chars = reinterpret_cast<const uint8_t*>(face.data());
      copy.insert(copy.end(), chars, chars + face.size() * sizeof(wchar_t));
      copy.resize((copy.size() + 2 + 3) & ~size_t{3}, 0);  // its ending zero, the padding
      copy.insert(copy.end(), bytes.begin() + static_cast<ptrdiff_t>(items_at), bytes.end());
      bytes = std::move(copy);
    }
  }
  std::vector<DWORD> words((bytes.size() + 3) / 4);
  std::memcpy(words.data(), bytes.data(), bytes.size());
  return words;
}

std::vector<DWORD> TemplateInFace(HINSTANCE instance, int id) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return {};
  return InFace({bytes, SizeofResource(instance, found)}, DialogFace());
}

}  // namespace

const std::wstring& DialogFace() {
  static const std::wstring face = ChooseFace();
  return face;
}

bool DialogFaceReplaced() { return DialogFace() != kTemplateFace; }

HWND CreateDialogInFace(HINSTANCE instance, int id, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
  const std::vector<DWORD> made = TemplateInFace(instance, id);
  if (made.empty()) return nullptr;
  return CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(made.data()), owner,
                                    procedure, parameter);
}

INT_PTR DialogBoxInFace(HINSTANCE instance, int id, HWND owner, DLGPROC procedure,
                        LPARAM parameter) {
  const std::vector<DWORD> made = TemplateInFace(instance, id);
  if (made.empty()) return -1;
  return DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(made.data()), owner,
                                 procedure, parameter);
}

}  // namespace kowaki
