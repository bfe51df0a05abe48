#include "update/update_manifest.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "update/rar/rar_stored_writer.h"
#include "update/zip_writer.h"

namespace {

const char kManifest[] = R"(<?xml version="1.0"?>
<UPDATE modification="m1" clientVersion="1.2.3.4" launcherVersion="1.0.0.7" launcherSize="12345"
        launcherCRC="4000000000" launcherUrl="http://host/Launcher.exe">
  <PACK type="full" file="Client.pkg" crc="11" size="5000000000">
    <FILE file="Data\File.BIN" crc="1" size="10"/>
    <FILE file="bin/game.exe" crc="2" size="20"/>
    <FILE file="..\evil.txt" crc="3" size="30"/>
    <FILE file="C:\evil.txt" crc="3" size="30"/>
    <FILE file="DATA\file.bin" crc="99" size="11"/>
  </PACK>
  <PACK type="ext" file="tool.pkg" crc="12" size="100">
    <INFO lang="de"><NAME>Werkzeug</NAME></INFO>
    <INFO lang="en" sel="0"><NAME>Tool</NAME><EXEC>tool\tool.exe</EXEC><CMDL>-x</CMDL><HELP>line1\nline2</HELP></INFO>
    <FILE file="tool\tool.exe" crc="4" size="40"/>
  </PACK>
  <PACK type="ext" file="german.pkg" crc="13" size="100">
    <INFO lang="de"><NAME>Nur deutsch</NAME></INFO>
    <FILE file="german\x" crc="5" size="1"/>
  </PACK>
  <PACK type="int" file="editor.pkg" crc="14" size="100">
    <INFO lang="en"><NAME>Editor</NAME><EXEC>editor.exe</EXEC></INFO>
    <FILE file="editor.exe" crc="6" size="60"/>
  </PACK>
  <PACK type="ext" platform="64" file="x64.pkg" crc="15" size="100">
    <INFO lang="en"><NAME>Sixty-four</NAME><EXEC>x64.exe</EXEC></INFO>
    <FILE file="x64.exe" crc="7" size="70"/>
  </PACK>
  <PACK type="full" platform="32" file="x86.pkg" crc="16" size="100"><FILE file="x86.dll" crc="8" size="80"/></PACK>
  <PACK type="add" file="Extra.pkg" crc="17" size="100"><FILE file="extra.dat" crc="9" size="90"/></PACK>
  <PACK type="add" file="other.pkg" crc="18" size="100"><FILE file="other.dat" crc="9" size="90"/></PACK>
  <PACK type="increment" file="inc.pkg" crc="19" size="50"><FILE file="Data\file.bin" crc="99" size="11"/></PACK>
  <PACK type="weird" file="weird.pkg" crc="20" size="1"><FILE file="weird.dat" crc="1" size="1"/></PACK>
  <PACK file="bare.pkg" crc="x" size="-5"/>
  <IGNORE>
    <FILE file="*\User.cfg"/>
    <FILE file="*\*.ini"/>
    <FILE file="Saves\Slot1.sav"/>
  </IGNORE>
  <IGNORE><FILE file="second.txt"/></IGNORE>
</UPDATE>)";

ManifestContext Context() {
  ManifestContext context;
  context.language = "en";
  context.platformWord = 1;
  context.addedPackages = {"extra.pkg"};
  return context;
}

TEST(UpdateManifest, BuildsEveryCollection) {
  UpdateManifest model;
  ASSERT_TRUE(model.Build(kManifest, Context()));
  EXPECT_EQ(model.modification, "m1");
  EXPECT_EQ(model.clientVersion, "1.2.3.4");

  // Packages of this platform only, keyed lower-case; sizes are 64-bit.
  EXPECT_EQ(model.packages.count("x64.pkg"), 0u);
  ASSERT_EQ(model.packages.count("client.pkg"), 1u);
  EXPECT_EQ(model.packages["client.pkg"].file, "Client.pkg");
  EXPECT_EQ(model.packages["client.pkg"].size, 5000000000u);
  EXPECT_EQ(model.packages["x86.pkg"].platform, 1);
  EXPECT_EQ(model.packages["weird.pkg"].type, ptUnknown);
  EXPECT_EQ(model.packages["bare.pkg"].type, ptUnknown);
  EXPECT_EQ(model.packages["bare.pkg"].crc, 0u);
  EXPECT_EQ(model.packages["bare.pkg"].size, 0u);

  // Files: lower-cased "\" keys; the later of two spellings wins; unsafe
  // paths, unknown types, increments and add packages not asked for are out.
  ASSERT_EQ(model.files.count("data\\file.bin"), 1u);
  EXPECT_EQ(model.files.at("data\\file.bin").crc, 99u);
  EXPECT_EQ(model.files.at("data\\file.bin").package, "Client.pkg");
  EXPECT_EQ(model.files.count("bin\\game.exe"), 1u);
  EXPECT_EQ(model.files.at("tool\\tool.exe").type, ptExt);
  EXPECT_EQ(model.files.count("german\\x"), 1u);
  EXPECT_EQ(model.files.count("editor.exe"), 1u);
  EXPECT_EQ(model.files.count("x86.dll"), 1u);
  EXPECT_EQ(model.files.count("extra.dat"), 1u);
  for (const char* absent : {"x64.exe", "other.dat", "weird.dat", "..\\evil.txt", "evil.txt", "c:\\evil.txt"})
    EXPECT_EQ(model.files.count(absent), 0u) << absent;
  EXPECT_EQ(model.files.size(), 7u);

  ASSERT_EQ(model.increments.size(), 1u);
  EXPECT_EQ(model.increments[0].file, "inc.pkg");
  EXPECT_EQ(model.increments[0].size, 50u);
  EXPECT_EQ(model.increments[0].files.count("data\\file.bin"), 1u);

  // Applications in the current language only.
  ASSERT_EQ(model.optionalApps.size(), 1u);
  const OptionalApplication& tool = model.optionalApps[0];
  EXPECT_EQ(tool.name, "Tool");
  EXPECT_EQ(tool.exec, "tool\\tool.exe");
  EXPECT_EQ(tool.commandLine, "-x");
  EXPECT_EQ(tool.help, "line1\nline2");
  EXPECT_FALSE(tool.selected);
  ASSERT_EQ(model.internalApps.size(), 1u);
  EXPECT_EQ(model.internalApps[0].name, "Editor");
  EXPECT_EQ(model.internalApps[0].exec, "editor.exe");

  EXPECT_EQ(model.ignoredNames, (std::set<std::string>{"user.cfg", "*.ini"}));
  EXPECT_EQ(model.ignoredPaths, (std::set<std::string>{"saves\\slot1.sav"}));

  EXPECT_TRUE(model.launcher.present);
  EXPECT_EQ(model.launcher.version, "1.0.0.7");
  EXPECT_EQ(model.launcher.size, 12345);
  EXPECT_TRUE(model.launcher.crcGiven);
  EXPECT_EQ(model.launcher.crc, 4000000000u);
  EXPECT_EQ(model.launcher.url, "http://host/Launcher.exe");
}

TEST(UpdateManifest, TaskModeAndSixtyFourBits) {
  ManifestContext context = Context();
  context.taskMode = true;
  context.platformWord = 2;
  context.addedPackages = {"other.pkg"};
  UpdateManifest model;
  ASSERT_TRUE(model.Build(kManifest, context));
  // Only the packages the task asked for bring files.
  EXPECT_EQ(model.files.size(), 1u);
  EXPECT_EQ(model.files.count("other.dat"), 1u);
  EXPECT_EQ(model.packages.count("x64.pkg"), 1u);
  EXPECT_EQ(model.packages.count("x86.pkg"), 0u);
  EXPECT_EQ(model.optionalApps.size(), 2u);  // tool and the 64-bit one
}

TEST(UpdateManifest, FailuresAndLauncherInfo) {
  UpdateManifest model;
  EXPECT_FALSE(model.Build("", Context()));
  EXPECT_FALSE(model.Build("<UPDATE><PACK></UPDATE>", Context()));
  EXPECT_TRUE(model.Build("<ROOT/>", Context()));
  EXPECT_FALSE(model.launcher.present);
  EXPECT_FALSE(model.ReadLauncherInfo("<U launcherVersion=\"1.0.0.1\"/>"));
  EXPECT_TRUE(model.ReadLauncherInfo("<U launcherVersion=\"1.0.0.1\" launcherSize=\"5\" launcherCRC=\"\"/>"));
  EXPECT_FALSE(model.launcher.crcGiven);
}

// The FILE lists of a large manifest are read slice by slice; a comment
// anywhere makes the text be read whole. Both give the same model.
std::string ManyFiles() {
  std::string text = "<?xml version=\"1.0\"?>\n<UPDATE modification=\"m\" clientVersion=\"1.0.0.1\">\n";
  text += "  <PACK type=\"full\" file=\"Client.pkg\" crc=\"1\" size=\"2\">\n";
  for (int i = 0; i < 2500; ++i) {
    text += "    <FILE file=\"Data\\Set" + std::to_string(i / 100) + "\\item" + std::to_string(i) +
            ".txt\" crc=\"" + std::to_string(i) + "\" size=\"" + std::to_string(i * 3) + "\"/>\n";
    // Other children break the runs: an INFO, an element without a file.
    if (i == 1500) text += "    <INFO lang=\"fr\"><NAME>x</NAME></INFO>\n";
    if (i == 2000) text += "    <NOTE/>\n";
  }
  text += "    <FILE file='a&amp;b&gt;c.txt' crc='7' size='8' />\n";
  text += "    <FILE file=\"data\\set0\\ITEM5.txt\" crc=\"55\" size=\"5\"/>\n  </PACK>\n";
  text += "  <PACK type=\"ext\" file=\"Tool.pkg\" crc=\"3\" size=\"4\"><FILE file=\"tool.exe\" crc=\"9\" size=\"9\"/>"
          "<INFO lang=\"en\"><NAME>Tool</NAME><EXEC>tool.exe</EXEC></INFO></PACK>\n";
  text += "  <PACK type=\"increment\" file=\"inc.pkg\" crc=\"5\" size=\"6\">";
  for (int i = 0; i < 1100; ++i) text += "<FILE file=\"data\\set1\\item" + std::to_string(100 + i) + ".txt\"/>";
  text += "</PACK>\n  <IGNORE><FILE file=\"*\\user.cfg\"/><FILE file=\"Saves\\slot.sav\"/></IGNORE>\n</UPDATE>\n";
  return text;
}

TEST(UpdateManifest, LargeFileListsReadInSlicesGiveTheWholeTextsModel) {
  const std::string text = ManyFiles();
  UpdateManifest sliced, whole;
  ASSERT_TRUE(sliced.Build(text, Context()));
  ASSERT_TRUE(whole.Build(text + "<!-- read whole -->", Context()));
  ASSERT_EQ(sliced.files.size(), 2502u);
  ASSERT_EQ(whole.files.size(), sliced.files.size());
  for (auto a = sliced.files.begin(), b = whole.files.begin(); a != sliced.files.end(); ++a, ++b) {
    ASSERT_EQ(a->first, b->first);
    EXPECT_EQ(a->second.crc, b->second.crc) << a->first;
    EXPECT_EQ(a->second.size, b->second.size) << a->first;
    EXPECT_EQ(a->second.package, b->second.package) << a->first;
  }
  EXPECT_EQ(sliced.files.at("data\\set0\\item5.txt").crc, 55u);  // the later entry wins
  EXPECT_EQ(sliced.files.at("a&b>c.txt").size, 8u);
  EXPECT_EQ(sliced.files.at("tool.exe").type, ptExt);
  ASSERT_EQ(sliced.increments.size(), 1u);
  EXPECT_EQ(sliced.increments[0].files.size(), 1100u);
  EXPECT_EQ(sliced.optionalApps.size(), 1u);
  EXPECT_EQ(sliced.ignoredNames, whole.ignoredNames);
  EXPECT_EQ(sliced.ignoredPaths, whole.ignoredPaths);

  // A damaged FILE element fails the build wherever it is, even in a
  // package this system skips.
  const std::string damaged[] = {
      "<U><PACK type=\"full\" file=\"a\"><FILE file=\"x\" crc=1/></PACK></U>",
      "<U><PACK type=\"full\" platform=\"64\" file=\"a\"><FILE file=\"x\"/><FILE file=\"y\" &/></PACK></U>",
      "<U><PACK type=\"full\" file=\"a\"><FILE file=\"x\"></PACK></U>",
      "<U><PACK type=\"full\" file=\"a\"><FILE file=\"x/></PACK></U>",
  };
  for (const std::string& bad : damaged) {
    UpdateManifest model;
    EXPECT_FALSE(model.Build(bad, Context())) << bad;
    EXPECT_TRUE(model.files.empty()) << bad;
  }
}

TEST(UpdateManifest, ReadsTheArchiveAnswer) {
  const std::string text = "<UPDATE modification=\"z\"/>";
  std::string out;
  EXPECT_TRUE(ReadManifestArchive(ZipWriter::InMemory({{"update.xml", text}}), out));
  EXPECT_EQ(out, text);

  rar::RarStoredWriter rar;
  rar.AddFile("readme.txt", "x");
  rar.AddFile("update.xml", text);
  EXPECT_TRUE(ReadManifestArchive(rar.Finish(), out));
  EXPECT_EQ(out, text);

  EXPECT_FALSE(ReadManifestArchive(ZipWriter::InMemory({{"other.xml", text}}), out));
  EXPECT_FALSE(ReadManifestArchive("Rar!garbage", out));
  EXPECT_FALSE(ReadManifestArchive(text, out));
  EXPECT_FALSE(ReadManifestArchive(std::string(), out));
  EXPECT_TRUE(out.empty());
}

TEST(UpdateManifest, StoredCopy) {
  testing_support::TempDir dir;
  const std::string folder = dir.path().string();
  EXPECT_EQ(LoadManifestCopy(folder), "");
  EXPECT_FALSE(SaveManifestCopy(folder, ""));
  EXPECT_FALSE(SaveManifestCopy("abc", "<x/>"));
  ASSERT_TRUE(SaveManifestCopy(folder, "<x/>"));
  EXPECT_EQ(testing_support::ReadFileBytes(dir / "update.xml"), "<x/>");
  EXPECT_EQ(LoadManifestCopy(folder), "<x/>");
}

}  // namespace
