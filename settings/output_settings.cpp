#include "settings/output_settings.h"

namespace kowaki {

namespace {

int32_t ReadWord(const SettingsStore& store, const char* name, int32_t fallback) {
  const auto data = store.Read(kSettingsKey, name);
  // Data that is not 4 bytes is no number we wrote: keep the default.
  return data ? DataWord(*data).value_or(fallback) : fallback;
}

}  // namespace

OutputSettings LoadOutputSettings(const SettingsStore& store) {
  OutputSettings settings;
  settings.type = ReadWord(store, "type", kDefaultOutputSettings.type);
  settings.frq = ReadWord(store, "frq", kDefaultOutputSettings.frq);
  settings.ch = ReadWord(store, "ch", kDefaultOutputSettings.ch);
  settings.merge = ReadWord(store, "merge", kDefaultOutputSettings.merge);
  if (settings.type != kOutputTypeOgg && settings.type != kOutputTypeFlac) {
    settings.type = kOutputTypeWav;
  }
  settings.frq = OfferedRate(settings.frq);
  settings.ch = settings.ch == 1 || settings.ch == 2 ? settings.ch : -1;
  settings.merge = settings.merge != 0 ? 1 : 0;
  return settings;
}

int32_t OfferedRate(int32_t frq) {
  if (frq > kOfferedRates[0]) return -1;
  for (int32_t rate : kOfferedRates) {
    if (frq >= rate) return rate;
  }
  return -1;
}

void SaveOutputSettings(SettingsStore& store, const OutputSettings& settings) {
  const NamedValue values[] = {{"type", settings.type},
                               {"frq", settings.frq},
                               {"ch", settings.ch},
                               {"merge", settings.merge}};
  store.WriteWords(kSettingsKey, values);
}

}  // namespace kowaki
