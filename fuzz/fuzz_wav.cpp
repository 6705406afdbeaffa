// Any bytes as a WAV file, read as kowaki-cli convert reads it: the chunks,
// then the audio in blocks of whole frames through the converter to 16-bit
// PCM (so every codec's decoder sees what the data holds), and a codec's
// PCM back through its encoder with the file's own block structure.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "convert/pcm_converter.h"
#include "convert/wav_file.h"

namespace {

// Puts `audio` through `converter` in blocks of `block` bytes; what comes
// out goes on to `next` when there is one.
void Run(kowaki::PcmConverter& converter, std::span<const uint8_t> audio, size_t block,
         kowaki::PcmConverter* next) {
  for (size_t at = 0; at < audio.size(); at += block) {
    const size_t size = std::min(block, audio.size() - at);
    if (!converter.put({audio.data() + at, static_cast<int32_t>(size)})) return;
    const kowaki::PcmSpan out = converter.get().value_or(kowaki::PcmSpan{});
    if (next && !next->put(out)) return;
  }
  if (!converter.flush()) return;
  const kowaki::PcmSpan out = converter.get().value_or(kowaki::PcmSpan{});
  if (next && next->put(out) && next->flush()) static_cast<void>(next->get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto read_at = [&](uint64_t offset, std::span<uint8_t> out) {
    if (offset > size || size - offset < out.size()) return false;
    std::memcpy(out.data(), data + offset, out.size());
    return true;
  };
  const kowaki::Result<kowaki::WavInfo> read = kowaki::ReadWavInfo(read_at);
  if (!read) return 0;
  const kowaki::WavInfo& info = *read;
  const kowaki::PcmFormat& source = info.format;
  const kowaki::PcmFormat pcm = kowaki::MakePcmFormat(source.samples_per_sec, source.channels, 16);
  auto decoder = kowaki::PcmConverter::create();
  if (!decoder || !decoder->setup(source, pcm)) return 0;
  auto encoder = kowaki::PcmConverter::create();
  const bool codec = source.format_tag != kowaki::kFormatPcm;
  const bool encode = codec && encoder && encoder->setup(pcm, source);
  const uint64_t available = size - std::min<uint64_t>(size, info.data_offset);
  const std::span<const uint8_t> audio(data + (size - available),
                                       std::min<uint64_t>(available, info.data_size));
  const size_t block =
      std::max<size_t>(8192 / source.block_align * source.block_align, source.block_align);
  Run(*decoder, audio, block, encode ? encoder.get() : nullptr);
  return 0;
}
