#include "tools/synth.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kowaki::synth {

namespace {

double Formant(double frequency, double centre, double width) {
  const double d = (frequency - centre) / width;
  return 1.0 / (1.0 + d * d);
}

void AppendPage(const ogg_page& page, std::string* out) {
  out->append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
  out->append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

}  // namespace

std::vector<int16_t> Voice(int rate, int channels, double seconds, double pitch_hz) {
  const auto frames = static_cast<size_t>(std::lround(seconds * rate));
  const double nyquist = rate / 2.0;
  const double two_pi = 2.0 * std::numbers::pi;
  std::vector<int16_t> out(frames * static_cast<size_t>(channels));
  double phase = 0.0;
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double pitch = pitch_hz * (1.0 + 0.02 * std::sin(two_pi * 5.5 * t));
    phase += two_pi * pitch / rate;
    double value = 0.0;
    for (int h = 1; h * pitch < nyquist && h <= 40; ++h) {
      const double f = h * pitch;
      value += (Formant(f, 700.0, 130.0) + 0.6 * Formant(f, 1200.0, 160.0)) * std::sin(h * phase) /
               std::sqrt(h);
    }
    const double envelope =
        std::min({1.0, t / 0.03, (seconds - t) / 0.08}) * (0.8 + 0.2 * std::sin(two_pi * 3 * t));
    const double sample = std::clamp(value * envelope * 0.35, -1.0, 1.0) * 32767.0;
    const double pan = frames > 1 ? static_cast<double>(i) / static_cast<double>(frames - 1) : 0.5;
    for (int c = 0; c < channels; ++c) {
      const double gain = channels == 1 ? 1.0 : (c == 0 ? 1.0 - 0.6 * pan : 0.4 + 0.6 * pan);
      out[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
          static_cast<int16_t>(std::lround(sample * gain));
    }
  }
  return out;
}

std::string EncodeVorbis(std::span<const int16_t> interleaved, int channels, int rate,
                         float quality, int serial) {
  std::string out;
  vorbis_info info;
  vorbis_info_init(&info);
  if (channels < 1 || vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "ENCODER", "kowaki synth");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  ogg_packet header, header_comment, header_code;
  vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &header_comment);
  ogg_stream_packetin(&stream, &header_code);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page)) AppendPage(page, &out);

  const size_t frames = interleaved.size() / static_cast<size_t>(channels);
  constexpr size_t kChunk = 1024;
  bool done = false;
  for (size_t start = 0; !done;) {
    const size_t n = std::min(kChunk, frames - start);
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
          buffer[c][i] =
              interleaved[(start + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] /
              32768.0f;
        }
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      start += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          AppendPage(page, &out);
          if (ogg_page_eos(&page)) done = true;
        }
      }
    }
    if (n == 0) done = true;
  }
  while (ogg_stream_flush(&stream, &page)) AppendPage(page, &out);

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

}  // namespace kowaki::synth
