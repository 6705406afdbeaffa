#include "jobs/export_entry.h"

#include <array>
#include <cerrno>

#include "archive/entry_stream.h"
#include "archive/last_page.h"
#include "common/cp932.h"
#include "common/output_file.h"
#include "convert/pcm_converter.h"
#include "convert/wav_file.h"
#include "jobs/entry_decoder.h"

namespace kowaki {

namespace {

constexpr size_t kBlockSize = 8192;
// What the 32-bit sizes of a WAV header can describe.
constexpr uint64_t kWavDataMax = 0xFFFFFFFFu - 36;

// Making one entry: each step says why it failed, the first reason kept.
class Maker {
 public:
  Maker(const ExportPlan& plan, int32_t entry) : plan_(plan) { made_.outcome.entry = entry; }

  ExportedEntry Ogg(const std::string& path);
  ExportedEntry Decoded(const std::string& path, const PcmFormat& target, MergeSink sink,
                        float gain);

 private:
  ExportedEntry Done(bool ok) {
    made_.outcome.ok = ok;
    return std::move(made_);
  }
  // Written, and cut short when the stream ended before its last page: the
  // file holds what there is, and says so.
  ExportedEntry Written(bool ok, bool whole) {
    if (ok && !whole) made_.outcome.problem = EntryProblem::kCutShort;
    return Done(ok);
  }
  bool Fail(EntryProblem problem, int system_error = 0) {
    if (made_.outcome.problem == EntryProblem::kNone) {
      made_.outcome.problem = problem;
      made_.outcome.system_error = system_error;
    }
    return false;
  }
  int32_t entry() const { return made_.outcome.entry; }
  bool StillListed() {
    return ArchiveUnchanged(plan_.index) || Fail(EntryProblem::kArchiveChanged);
  }
  bool OpenOwnFile(const std::string& path);
  bool StartOwnAudio(const PcmFormat& format);
  bool CopyBytes(EntryStream& stream);
  bool Begin(const PcmFormat& target, const MergeSink& sink);
  bool Convert(EntryDecoder& decoder, PcmConverter& converter, const PcmFormat& target);
  bool WriteOut(PcmConverter& converter);
  bool Write(std::span<const uint8_t> bytes);

  const ExportPlan& plan_;
  ExportedEntry made_;
  PcmWriter* out_ = nullptr;  // where decoded data goes; null: the spill buffer
  uint64_t before_ = 0;       // data the merge file held before this entry
  std::array<uint8_t, kBlockSize> buffer_;
};

// Never the archive itself, however named (common/input_files.h):
// replacing it would lose it.
bool Maker::OpenOwnFile(const std::string& path) {
  errno = 0;
  made_.path = path;
  Result<std::unique_ptr<ExportFile>> opened = plan_.open_file(path, OutputPlace::kInFolder);
  if (!opened) return Fail(EntryProblem::kCannotOpenOutput, errno);
  made_.file = std::move(*opened);
  return true;
}

ExportedEntry Maker::Ogg(const std::string& path) {
  if (!StillListed()) return Done(false);
  const EntryStreamPtr stream = OpenEntryStream(plan_.index, entry());
  if (!stream) return Done(Fail(EntryProblem::kReadFailed, errno));
  const Result<LastPage, OggScanError> last = FindLastPage(*stream);
  const bool whole = !EntryCutShort(*stream) && last && last->ends_stream;
  if (!OpenOwnFile(path)) return Done(false);
  return Written(CopyBytes(*stream) && StillListed(), whole);
}

bool Maker::CopyBytes(EntryStream& stream) {
  uint64_t copied = 0;
  for (;;) {
    const size_t n = EntryRead(buffer_.data(), 1, buffer_.size(), &stream);
    if (n == static_cast<size_t>(-1)) return Fail(EntryProblem::kReadFailed, errno);
    if (n == 0) break;
    if (!Write({buffer_.data(), n})) return false;
    copied += n;
  }
  made_.bytes = copied;
  // Fewer bytes than the archive had: it shrank under us.
  return static_cast<int64_t>(copied) == stream.end - int64_t{stream.entry.offset} ||
         Fail(EntryProblem::kArchiveChanged);
}

ExportedEntry Maker::Decoded(const std::string& path, const PcmFormat& target, MergeSink sink,
                             float gain) {
  EntryDecoder decoder(plan_.index, entry());
  if (!decoder.is_open()) return Done(Fail(decoder.problem(), errno));
  decoder.SetGain(gain);
  const PcmFormat format = plan_.merge ? target : ExportFormat(plan_.settings, decoder.format());
  // The converter before the file: an entry it cannot take (more than
  // eight channels to mono or stereo, say) leaves no mislabelled file.
  PcmConverterPtr converter = PcmConverter::create();
  if (!converter || !converter->setup(decoder.format(), format, ChannelOrder::kVorbis)) {
    return Done(Fail(EntryProblem::kCannotConvert));
  }
  if (plan_.merge) {
    if (!Begin(format, sink)) return Done(false);
  } else if (!OpenOwnFile(path)) {
    made_.cannot_open = true;
    return Done(false);
  } else if (!StartOwnAudio(format)) {
    return Done(false);
  }
  made_.format = format;
  const bool converted = Convert(decoder, *converter, format) && StillListed();
  return Written(converted, decoder.whole());
}

// The header goes first; its sizes are patched when the file is finished.
// FLAC takes the entry's name, number and archive as its tags.
bool Maker::StartOwnAudio(const PcmFormat& format) {
  PcmFileSetup setup{.kind = plan_.kind,
                     .format = format,
                     .tags = {},
                     .cue_tracks = 0,
                     .flac_level = plan_.flac_level};
  if (plan_.kind == OutputKind::kFlac) {
    setup.tags = {{"TITLE", Cp932ToUtf8(EntryName(plan_.index, entry()))},
                  {"TRACKNUMBER", std::to_string(entry())},
                  {"ALBUM", plan_.album}};
  }
  errno = 0;
  made_.writer = StartPcmFile(*made_.file, setup);
  out_ = made_.writer.get();
  // No error from the system: the encoder takes no such format.
  return out_ || Fail(errno ? EntryProblem::kWriteFailed : EntryProblem::kCannotConvert, errno);
}

// A merge entry writes straight into the merge file (which is started by
// the first entry that comes this far), after the silence between it and
// the entry before, or into its spill buffer.
bool Maker::Begin(const PcmFormat& target, const MergeSink& sink) {
  if (!sink.begin) return true;
  before_ = sink.written_before;
  if (before_ + sink.lead > kWavDataMax) return Fail(EntryProblem::kTooLarge);
  errno = 0;
  out_ = sink.begin(target);
  if (!out_) return Fail(EntryProblem::kWriteFailed, errno);
  made_.lead = made_.bytes = sink.lead;
  return WriteSilence(*out_, sink.lead) || Fail(EntryProblem::kWriteFailed, errno);
}

// An entry of chained streams may change rate or channels from one link to
// the next: each link is converted to the file's format.
bool Maker::Convert(EntryDecoder& decoder, PcmConverter& converter, const PcmFormat& target) {
  for (;;) {
    const EntryDecoder::Block block = decoder.Read(buffer_);
    if (block.read_failed) return Fail(EntryProblem::kReadFailed);
    if (block.length == 0) break;
    if (block.format_changed &&
        !(converter.flush() && WriteOut(converter) &&
          (converter.setup(decoder.format(), target) || Fail(EntryProblem::kCannotConvert)))) {
      return false;
    }
    if (!converter.put({buffer_.data(), static_cast<int32_t>(block.length)})) {
      return Fail(EntryProblem::kCannotConvert);
    }
    if (!WriteOut(converter)) return false;
  }
  errno = 0;
  // A merge file is flushed after every entry, so that a full disk shows at
  // the entry it struck; an entry's own file shows it when it is finished.
  return (converter.flush() || Fail(EntryProblem::kCannotConvert)) && WriteOut(converter) &&
         (!out_ || !plan_.merge || out_->Flush() || Fail(EntryProblem::kWriteFailed, errno));
}

bool Maker::WriteOut(PcmConverter& converter) {
  const Result<PcmSpan, PcmError> taken = converter.get();
  if (!taken) return Fail(EntryProblem::kCannotConvert);
  const PcmSpan span = *taken;
  const auto length = static_cast<uint64_t>(span.length);
  if (before_ + made_.bytes + length > kWavDataMax) return Fail(EntryProblem::kTooLarge);
  if (length == 0) return true;
  if (!Write({span.data, static_cast<size_t>(length)})) return false;
  made_.bytes += length;
  return true;
}

// Decoded audio to its file or the spill buffer; an .ogg copy's bytes to
// its own file.
bool Maker::Write(std::span<const uint8_t> bytes) {
  errno = 0;
  const bool written = out_         ? out_->Write(bytes)
                       : made_.file ? made_.file->Write(bytes.data(), bytes.size())
                                    : made_.spill.Write(bytes.data(), bytes.size());
  return written || Fail(EntryProblem::kWriteFailed, errno);
}

}  // namespace

void ExportedEntry::Discard() {
  writer.reset();
  if (file) file->Discard();
  file.reset();
  spill = SpillBuffer{};
}

ExportedEntry ExportEntry(const ExportPlan& plan, int32_t entry, const std::string& path,
                          const PcmFormat& target, MergeSink sink, float gain) {
  Maker maker(plan, entry);
  return plan.kind == OutputKind::kOgg ? maker.Ogg(path)
                                       : maker.Decoded(path, target, std::move(sink), gain);
}

PcmFormat ExportFormat(const OutputSettings& settings, const PcmFormat& source) {
  const uint32_t rate =
      settings.frq > 0 ? static_cast<uint32_t>(settings.frq) : source.samples_per_sec;
  const uint16_t channels = settings.ch > 0 ? static_cast<uint16_t>(settings.ch) : source.channels;
  return MakePcmFormat(rate, channels, 16);
}

Result<PcmFormat, EntryProblem> FirstMergeFormat(const ArchiveIndex* index, int32_t entry) {
  EntryDecoder decoder(index, entry);
  if (!decoder.is_open()) return decoder.problem();
  if (decoder.cut_short()) return EntryProblem::kCutShort;
  return decoder.format();
}

}  // namespace kowaki
