// The registry's text form, as Wine writes user.reg and we write settings.

#include <gtest/gtest.h>

#include "settings/reg_file.h"

namespace kowaki {
namespace {

TEST(RegFileTest, ReadsWhatWineWrites) {
  const RegFile file = RegFile::Parse(
      "WINE REGISTRY Version 2\r\n"
      ";; All keys relative to \\\\User\\\\S-1-5-21-0\r\n"
      "#arch=win32\r\n\r\n"
      "[Software\\\\Kestrel\\\\mizukage] 1700000000\r\n"
      "#time=1d9f0c4a8b2e3f0\r\n"
      "\"InstallDir\"=\"C:\\\\\\x30b2\\x30fc\\x30e0\\\\q\\\"\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Path\"=str(2):\"%ProgramFiles%\\\\x\"\r\n"
      "\"Blob\"=hex:01,02,\\\r\n  ff\r\n"
      "@=\"default\"\r\n"
      "\"Broken\"=\"no end\r\n"
      "[Software\\\\Other]\r\n\"InstallDir\"=\"elsewhere\"\r\n");
  const RegFile::Value* dir = file.Find("software\\kestrel\\MIZUKAGE", "installdir");
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(dir->data, "C:\\ゲーム\\q\"");
  EXPECT_EQ(file.Find("Software\\Kestrel\\mizukage", "Count")->data, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(file.Find("Software\\Kestrel\\mizukage", "Path")->data, "%ProgramFiles%\\x");
  EXPECT_EQ(file.Find("Software\\Kestrel\\mizukage", "Blob")->data, "\x01\x02\xff");
  EXPECT_EQ(file.Find("Software\\Kestrel\\mizukage", "")->data, "default");
  EXPECT_EQ(file.Find("Software\\Kestrel\\mizukage", "Broken"), nullptr);
  EXPECT_EQ(file.Find("Software\\Other", "InstallDir")->data, "elsewhere");
  EXPECT_EQ(file.Find("Software\\Missing", "InstallDir"), nullptr);
}

TEST(RegFileTest, WhatItWritesReadsBackTheSame) {
  RegFile file;
  file.Set("Software\\tobira\\kowaki.exe",
           {"type", RegFile::Kind::kWord, std::string("\x01\0\0\0", 4)});
  file.Set("Software\\tobira\\kowaki.exe",
           {"frq", RegFile::Kind::kWord, std::string("\xff\xff\xff\xff", 4)});
  file.Set("Software\\a[b]", {"text \"q\"", RegFile::Kind::kText, "ゲーム\\\n"});
  file.Set("Software\\a[b]", {"bytes", RegFile::Kind::kBytes, std::string("\0\x7f", 2)});
  file.Set("Software\\TOBIRA\\kowaki.exe",
           {"TYPE", RegFile::Kind::kWord, std::string("\x02\0\0\0", 4)});
  const std::string text = file.Format();
  EXPECT_NE(
      text.find(
          "[Software\\\\tobira\\\\kowaki.exe]\n\"TYPE\"=dword:00000002\n\"frq\"=dword:ffffffff\n"),
      std::string::npos)
      << text;
  const RegFile again = RegFile::Parse(text);
  EXPECT_EQ(again.Find("software\\tobira\\kowaki.exe", "type")->data, std::string("\x02\0\0\0", 4));
  EXPECT_EQ(again.Find("Software\\a[b]", "text \"q\"")->data, "ゲーム\\\n");
  EXPECT_EQ(again.Find("Software\\a[b]", "bytes")->data, std::string("\0\x7f", 2));
  RegFile removed = again;
  removed.RemoveKey("SOFTWARE\\TOBIRA\\KOWAKI.EXE");
  EXPECT_EQ(removed.Find("Software\\tobira\\kowaki.exe", "type"), nullptr);
  EXPECT_NE(removed.Find("Software\\a[b]", "bytes"), nullptr);
  // Keys after the removed one are still found, and a new one is added.
  removed.Set("Software\\c", {"n", RegFile::Kind::kText, "x"});
  EXPECT_EQ(removed.Find("software\\A[B]", "BYTES")->data, std::string("\0\x7f", 2));
  EXPECT_EQ(removed.Find("Software\\C", "N")->data, "x");
}

}  // namespace
}  // namespace kowaki
