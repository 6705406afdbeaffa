#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "tools/synth.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace kowaki::test {

namespace {

// Paths are UTF-8 strings on every system, as the core takes them.
std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

struct MemoryFile {
  std::string_view bytes;
  size_t at = 0;
};

size_t ReadMemory(void* to, size_t size, size_t count, void* source) {
  auto* file = static_cast<MemoryFile*>(source);
  const size_t n = std::min(size * count, file->bytes.size() - file->at);
  std::memcpy(to, file->bytes.data() + file->at, n);
  file->at += n;
  return size ? n / size : 0;
}

void PutLe32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}
}  // namespace

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device random;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "kowaki-test-" + std::to_string(random()) + "-" + std::to_string(counter++);
  if (info) name += std::string("-") + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(std::string_view name) const { return Utf8Of(path_ / PathOf(name)); }

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(path_)) {
    names.push_back(Utf8Of(item.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void SetReadOnly(const std::string& path, bool read_only) {
  constexpr auto kWrite = std::filesystem::perms::owner_write |
                          std::filesystem::perms::group_write |
                          std::filesystem::perms::others_write;
  std::filesystem::permissions(
      PathOf(path), kWrite,
      read_only ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
}

#if defined(_WIN32)
HeldOpen::HeldOpen(const std::string& path)
    : handle_(CreateFileW(PathOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
  EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << path;
}

HeldOpen::~HeldOpen() { CloseHandle(handle_); }
#endif

std::string ArchiveHeader(uint32_t version, uint32_t header_word, uint32_t count,
                          uint32_t table_offset) {
  std::string out;
  PutLe32(&out, version);
  PutLe32(&out, header_word);
  PutLe32(&out, count);
  PutLe32(&out, table_offset);
  return out;
}

std::string Record(std::string_view name9, uint32_t size, uint32_t offset) {
  std::string out(name9.substr(0, 9));
  out.resize(9, '\0');
  PutLe32(&out, size);
  PutLe32(&out, offset);
  return out;
}

std::string VorbisClip(int rate, int channels, double seconds, int serial) {
  auto pcm = synth::Voice(rate, channels, seconds, 220.0);
  return synth::EncodeVorbis(pcm, channels, rate, 0.3f, serial);
}

DecodedVorbis DecodeVorbis(std::string_view ogg) {
  DecodedVorbis decoded;
  MemoryFile file{ogg};
  OggVorbis_File vf;
  if (ov_open_callbacks(&file, &vf, nullptr, 0, {ReadMemory, nullptr, nullptr, nullptr}) != 0) {
    return decoded;
  }
  const vorbis_info* info = ov_info(&vf, 0);
  decoded.rate = info->rate;
  decoded.channels = info->channels;
  decoded.nominal_bitrate = info->bitrate_nominal;
  char block[8192];
  int link = 0;
  for (long n; (n = ov_read(&vf, block, sizeof block, 0, 2, 1, &link)) > 0;) {
    const size_t at = decoded.samples.size();
    decoded.samples.resize(at + static_cast<size_t>(n) / 2);
    std::memcpy(decoded.samples.data() + at, block, static_cast<size_t>(n));
  }
  ov_clear(&vf);
  return decoded;
}

std::string ReadPcm(OggVorbis_File* vf) {
  std::string pcm;
  char block[8192];
  int link = 0;
  for (long n; (n = ov_read(vf, block, sizeof block, 0, 2, 1, &link)) > 0;)
    pcm.append(block, static_cast<size_t>(n));
  return pcm;
}

}  // namespace kowaki::test
