// PrepareWork and FormClose against the simulated host: the library written
// out, checked, loaded and bound, the INI model list, the spooler and Find in
// their order, and the clean-up at close.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/sim_harness.h"
#include "ui/library_loader.h"

namespace nolpa {
namespace {

using testing::SimHarness;

constexpr char kTemp[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\";
const std::string kFolder = std::string(kTemp) + "NOLPAID";
const std::string kLibrary = kFolder + "\\Morvalib.dll";
constexpr char kIni[] = "C:\\Program Files\\NOLPA\\NOLPAID.ini";

// One line per host call and hook, with the temporary folder written %TEMP%.
struct StepLog {
  std::vector<std::string> lines;
  void Attach(SimHarness& h) {
    h.host.SetBeforeCall([this](const sim::HostCall& call) {
      std::string what = call.what;
      if (what.rfind(kTemp, 0) == 0) what = "%TEMP%" + what.substr(std::strlen(kTemp));
      if (call.op == "Free" || call.op == "TempPath" || call.op == "ReadHeldFile" ||
          call.op == "ReleaseFile" || call.op == "ExecutablePath")
        what.clear();
      if (call.op == "IniString") what = what.substr(what.rfind('|') + 1);
      lines.push_back(call.op + (what.empty() ? "" : " " + what));
    });
    h.world.SetBeforeRequestHook([this] {
      if (lines.empty() || lines.back() != "Find") lines.push_back("Find");
    });
  }
  std::function<void(ui::FormServices&)> Hooks() {
    return [this](ui::FormServices& s) {
      s.controlSpooler = [this](int mode) {
        lines.push_back("ControlSpooler " + std::to_string(mode));
        return 0;
      };
      s.libraryLoaded = [this](platform::ModuleHandle) { lines.push_back("libraryLoaded"); };
    };
  }
};

sim::ClassPrinter& AddClassPrinter(SimHarness& h, const std::string& name,
                                   const std::string& model) {
  sim::ClassPrinterConfig config;
  config.name = name;
  config.deviceId = "MFG:Other;CMD:X;MDL:" + model + ";CLS:PRINTER;";
  config.serial = name + "0000000000000000";
  return h.world.AddClassPrinter(config);
}

TEST(PrepareWork, WritesChecksLoadsBindsReadsStopsSpoolerThenFinds) {
  SimHarness h;
  StepLog log;
  log.Attach(h);
  AddClassPrinter(h, "c", "RK-L5200");
  ui::TMainForm& form = h.Make(log.Hooks());
  form.FormShow();

  const std::vector<std::string> expected = {"RcDataResource FILE1",
                                             "TempPath",
                                             "CreateFolder %TEMP%NOLPAID",
                                             "IsReparsePoint %TEMP%NOLPAID",
                                             "RemoveFile %TEMP%NOLPAID\\Morvalib.dll",
                                             "CreateNewFile %TEMP%NOLPAID\\Morvalib.dll",
                                             "HoldFile %TEMP%NOLPAID\\Morvalib.dll",
                                             "ReadHeldFile",
                                             "Load %TEMP%NOLPAID\\Morvalib.dll",
                                             "ReleaseFile",
                                             "Export GetUSBSerialNumber",
                                             "Export SetUSBSerialNumber",
                                             "Export GetPrinterFirmwareVersion",
                                             "Export SendReceiveD4Command",
                                             "libraryLoaded",
                                             "ExecutablePath",
                                             "IniString 1",
                                             "IniString 2",
                                             "IniString 3",
                                             "IniString 4",
                                             "ControlSpooler 1",
                                             "Find"};
  EXPECT_EQ(log.lines, expected);
  EXPECT_NE(form.LibraryHandle, 0u);
  EXPECT_NE(form.GetUSBSerialNumber, nullptr);
  EXPECT_NE(form.SetUSBSerialNumber, nullptr);
  EXPECT_NE(form.GetPrinterFirmwareVersion, nullptr);
  EXPECT_NE(form.SendReceiveD4Command, nullptr);
  EXPECT_EQ(h.host.FileBytes(kLibrary), sim::HostSystem::DefaultLibraryImage());
  EXPECT_EQ(h.host.OpenHolds(), 0u);
  EXPECT_EQ(form.ComboBox1.Items(), std::vector<std::string>{"RK-L5200"});

  log.lines.clear();
  form.FormClose();
  const std::vector<std::string> closing = {"Free",
                                            "TempPath",
                                            "IsReparsePoint %TEMP%NOLPAID",
                                            "SetNormalAttributes %TEMP%NOLPAID\\Morvalib.dll",
                                            "SetNormalAttributes %TEMP%NOLPAID",
                                            "RemoveFile %TEMP%NOLPAID\\Morvalib.dll",
                                            "RemoveFolder %TEMP%NOLPAID",
                                            "ControlSpooler 0"};
  EXPECT_EQ(log.lines, closing);
  EXPECT_FALSE(h.host.FolderExists(kFolder));
  EXPECT_EQ(h.host.LoadedModules(), 0u);
  EXPECT_EQ(form.DeviceList, nullptr);
  EXPECT_EQ(form.LibraryHandle, 0u);
  EXPECT_EQ(form.GetUSBSerialNumber, nullptr);
}

// A leftover file is replaced; one that is a link to a file of the system
// is unlinked, never written through.
TEST(PrepareWork, LeftoverFileIsReplacedAndLoaded) {
  const std::string systemFile = "C:\\Windows\\System32\\precious.dll";
  for (const bool link : {false, true}) {
    SCOPED_TRACE(link ? "link" : "file");
    SimHarness h;
    ASSERT_TRUE(h.host.AnotherProcessWrites(systemFile, {'o', 'l', 'd'}));
    ASSERT_TRUE(link ? h.host.AnotherProcessLinks(kLibrary, systemFile)
                     : h.host.AnotherProcessWrites(kLibrary, {'o', 'l', 'd'}));
    ui::TMainForm& form = h.Show();
    EXPECT_EQ(h.host.FileBytes(kLibrary), sim::HostSystem::DefaultLibraryImage());
    EXPECT_EQ(h.host.FileBytes(systemFile), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_NE(form.LibraryHandle, 0u);
  }
}

// Another process of the user writes its own library into the folder at
// some moment of the start-up. Whatever it manages, the program never loads
// anything but its own image.
TEST(PrepareWork, FileSwappedByAnotherProcessIsNeverLoaded) {
  struct Case {
    const char* after;  // the call after which the other process writes
    bool swapped;       // whether its write can succeed then
  } const cases[] = {
      {"CreateNewFile", true}, {"HoldFile", false}, {"ReadHeldFile", false}, {"Load", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after);
    SimHarness h;
    const std::vector<std::uint8_t> planted = {'M', 'Z', 'e', 'v', 'i', 'l'};
    h.host.AddLibraryImage(planted);  // it would load, were it asked to
    bool wrote = false;
    std::string previous;
    h.host.SetBeforeCall([&](const sim::HostCall& call) {
      if (previous == c.after && !wrote) wrote = h.host.AnotherProcessWrites(kLibrary, planted);
      previous = call.op;
    });
    ui::TMainForm& form = h.Show();
    EXPECT_EQ(wrote, c.swapped);
    EXPECT_EQ(form.LibraryHandle != 0, !c.swapped);
    if (c.swapped) {
      EXPECT_EQ(h.host.ModulesLoadedTotal(), 0u);
      EXPECT_EQ(form.GetUSBSerialNumber, nullptr);
      EXPECT_EQ(form.SendReceiveD4Command, nullptr);
    }
    EXPECT_EQ(h.host.OpenHolds(), 0u);
    EXPECT_TRUE(h.boxes.shown.empty());
  }
}

// Failures before the library is loaded raise; the window is still usable
// and, with the model names never read, Find lists every printer-class
// printer.
TEST(PrepareWork, FailureBeforeLoadingRaisesAndLeavesTheWindowUsable) {
  const std::string longTemp = "C:\\" + std::string(240, 'T') + "\\";
  struct Case {
    const char* name;
    std::function<void(sim::HostSystem&)> arrange;
  } const cases[] = {
      {"resource missing", [](sim::HostSystem& host) { host.RemoveResource("FILE1"); }},
      {"folder unwritable", [](sim::HostSystem& host) { host.MakeFolderUnwritable(kFolder); }},
      {"file planted again between delete and create",
       [](sim::HostSystem& host) {
         host.SetBeforeCall([&host](const sim::HostCall& call) {
           if (call.op == "CreateNewFile") host.AnotherProcessWrites(kLibrary, {'M', 'Z'});
         });
       }},
      {"temp path too long for the library path",
       [&](sim::HostSystem& host) { host.SetTempPath(longTemp); }},
      {"temp path longer than its buffer",
       [](sim::HostSystem& host) { host.SetTempPath("C:\\" + std::string(300, 'T') + "\\"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimHarness h;
    StepLog log;
    log.Attach(h);
    c.arrange(h.host);
    AddClassPrinter(h, "a", "XP-100");
    AddClassPrinter(h, "b", "RK-L880");
    ui::TMainForm& form = h.Make(log.Hooks());
    EXPECT_THROW(form.FormShow(), std::exception);
    EXPECT_EQ(form.LibraryHandle, 0u);
    EXPECT_EQ(form.GetUSBSerialNumber, nullptr);
    EXPECT_EQ(h.host.ModulesLoadedTotal(), 0u);
    for (const std::string& model : form.AddDeviceModels) EXPECT_EQ(model, "");
    for (const std::string& line : log.lines) {
      EXPECT_NE(line, "ControlSpooler 1");
      EXPECT_NE(line, "Find");
    }
    EXPECT_TRUE(form.ComboBox1.Items().empty());
    ASSERT_NE(form.DeviceList, nullptr);

    form.Button1Click();
    EXPECT_EQ(form.ComboBox1.Items(), (std::vector<std::string>{"XP-100", "RK-L880"}));
    EXPECT_EQ(form.Memo1.Text(), "");
    form.FormClose();
    EXPECT_EQ(log.lines.back(), "ControlSpooler 0");
  }
}

// The library path is built in a buffer of 260 bytes with its NUL: one of
// 259 characters is used, one of 260 refused before anything is created.
TEST(PrepareWork, LibraryPathFitsItsBufferUpTo259Characters) {
  const std::size_t fixed = std::strlen("C:\\") + std::strlen("\\NOLPAID\\Morvalib.dll");
  for (const std::size_t length : {258u, 259u, 260u, 261u}) {
    SCOPED_TRACE(length);
    const std::string temp = "C:\\" + std::string(length - fixed, 'T') + "\\";
    const std::string library = temp + "NOLPAID\\Morvalib.dll";
    ASSERT_EQ(library.size(), length);
    SimHarness h;
    h.host.SetTempPath(temp);
    ui::TMainForm& form = h.Make();
    if (length < ui::kPathBufferSize) {
      form.FormShow();
      EXPECT_NE(form.LibraryHandle, 0u);
      EXPECT_EQ(h.host.FileBytes(library), sim::HostSystem::DefaultLibraryImage());
    } else {
      EXPECT_THROW(form.FormShow(), std::exception);
      EXPECT_FALSE(h.host.FolderExists(temp + "NOLPAID"));
    }
    form.FormClose();
    EXPECT_FALSE(h.host.FolderExists(temp + "NOLPAID"));
  }
}

// A junction planted where the working folder goes would steer the
// program's delete and create of the library into the folder it leads to,
// here the system's: the folder is left alone at start and at close,
// nothing is loaded, and the window runs on as with an unloadable library.
TEST(PrepareWork, WorkingFolderThatIsAJunctionIsNeitherWrittenNorEmptied) {
  const std::string system = "C:\\Windows\\System32";
  const std::string victim = system + "\\Morvalib.dll";
  const std::vector<std::uint8_t> precious = {'o', 'l', 'd'};
  SimHarness h;
  ASSERT_TRUE(h.host.AnotherProcessWrites(victim, precious));
  ASSERT_TRUE(h.host.AnotherProcessPlantsJunction(kFolder, system));
  StepLog log;
  log.Attach(h);
  AddClassPrinter(h, "c", "RK-L5200");
  ui::TMainForm& form = h.Make(log.Hooks());
  form.FormShow();
  EXPECT_EQ(form.LibraryHandle, 0u);
  EXPECT_EQ(form.GetUSBSerialNumber, nullptr);
  EXPECT_EQ(h.host.ModulesLoadedTotal(), 0u);
  EXPECT_TRUE(h.boxes.shown.empty());
  EXPECT_EQ(form.ComboBox1.Items(), std::vector<std::string>{"RK-L5200"});
  form.FormClose();
  EXPECT_EQ(h.host.FileBytes(victim), precious);
  EXPECT_EQ(h.host.Attributes(kFolder), sim::kAttributeDirectory | sim::kAttributeReparsePoint);
  for (const std::string& line : log.lines) {
    if (line.find("NOLPAID") == std::string::npos) continue;
    EXPECT_TRUE(line.starts_with("CreateFolder") || line.starts_with("IsReparsePoint")) << line;
  }
  EXPECT_EQ(log.lines.back(), "ControlSpooler 0");
}

TEST(PrepareWork, UnloadableLibraryLeavesEveryEntryNullAndFindStillLists) {
  SimHarness h;
  h.host.SetResource("FILE1", {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'b'});
  bool hookCalled = false;
  AddClassPrinter(h, "c", "RK-L5200");
  ui::TMainForm& form = h.Make([&](ui::FormServices& s) {
    s.libraryLoaded = [&](platform::ModuleHandle) { hookCalled = true; };
  });
  form.FormShow();
  EXPECT_EQ(form.LibraryHandle, 0u);
  EXPECT_EQ(form.GetUSBSerialNumber, nullptr);
  EXPECT_EQ(form.SetUSBSerialNumber, nullptr);
  EXPECT_EQ(form.GetPrinterFirmwareVersion, nullptr);
  EXPECT_EQ(form.SendReceiveD4Command, nullptr);
  EXPECT_FALSE(hookCalled);
  EXPECT_EQ(form.AddDeviceModels[0], "RK-L5200");
  // Listed without a library call: empty ID code.
  ASSERT_EQ(form.ComboBox1.Items(), std::vector<std::string>{"RK-L5200"});
  EXPECT_EQ(form.DeviceList->Record(0).idCode, "");
  // A write skips the call and reports its failure.
  form.Edit1.TextFromUser("0123456789ABCDEF01");
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].icon, platform::MessageIcon::Error);
  form.FormClose();
  EXPECT_FALSE(h.host.FolderExists(kFolder));
}

TEST(PrepareWork, MissingEntryPointStaysNullAndTheOthersAreBound) {
  SimHarness h;
  h.host.Library().missing = {"GetUSBSerialNumber"};
  h.host.Library().setUSBSerialNumber = [](const char*, const char*, int) { return 0; };
  AddClassPrinter(h, "c", "RK-L5200");
  ui::TMainForm& form = h.Show();
  EXPECT_NE(form.LibraryHandle, 0u);
  EXPECT_EQ(form.GetUSBSerialNumber, nullptr);
  EXPECT_NE(form.SetUSBSerialNumber, nullptr);
  ASSERT_EQ(form.DeviceList->Count(), 1u);
  EXPECT_EQ(form.DeviceList->Record(0).idCode, "");
  form.FormClose();
}

TEST(FormClose, OtherFilesKeepTheFolderButTheLibraryGoes) {
  SimHarness h;
  ui::TMainForm& form = h.Show();
  ASSERT_TRUE(h.host.AnotherProcessWrites(kFolder + "\\notes.txt", {'x'}));
  form.FormClose();
  EXPECT_FALSE(h.host.FileExists(kLibrary));
  EXPECT_TRUE(h.host.FolderExists(kFolder));
  EXPECT_EQ(h.host.Attributes(kFolder + "\\notes.txt"), sim::kAttributeArchive);
}

// A file made read-only by another process at the last moment cannot be
// deleted: the close goes on without a word.
TEST(FormClose, LibraryThatCannotBeDeletedIsLeftQuietly) {
  SimHarness h;
  ui::TMainForm& form = h.Show();
  h.host.SetBeforeCall([&](const sim::HostCall& call) {
    if (call.op == "RemoveFile") {
      ASSERT_TRUE(h.host.AnotherProcessWrites(kLibrary, {'r'}, sim::kAttributeReadOnly));
    }
  });
  form.FormClose();
  EXPECT_TRUE(h.host.FileExists(kLibrary));
  EXPECT_TRUE(h.host.FolderExists(kFolder));
  EXPECT_TRUE(h.boxes.shown.empty());
  EXPECT_EQ(h.host.LoadedModules(), 0u);
}

TEST(AddDeviceModels, ComeFromTheIniFileBesideTheProgram) {
  struct Case {
    const char* name;
    const char* ini;  // null: no file
    std::array<std::string, 4> models;
  } const cases[] = {
      {"no file", nullptr, {"RK-L5200", "RK-L5200", "RK-L5200", "RK-L5200"}},
      {"no section", "[Other]\n1=TM-X\n", {"RK-L5200", "RK-L5200", "RK-L5200", "RK-L5200"}},
      {"key 1 set", "[AddDevice]\n1=TM-X\n", {"TM-X", "RK-L5200", "RK-L5200", "RK-L5200"}},
      {"empty value is no default", "[AddDevice]\n2=\n", {"RK-L5200", "", "RK-L5200", "RK-L5200"}},
      {"keys beyond 4 ignored",
       "[adddevice]\n 4 = D4 \n5=E5\n0=Z0\n",
       {"RK-L5200", "RK-L5200", "RK-L5200", "D4"}},
      {"all four", "[AddDevice]\n1=A\n2=B\n3=C\n4=D\n", {"A", "B", "C", "D"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::HostSystem host;
    if (c.ini != nullptr) host.SetIniFile(kIni, c.ini);
    EXPECT_EQ(ui::ReadAddDeviceModels(host.Program()), c.models);
  }
}

TEST(AddDeviceModels, IniPathIsTheProgramPathWithItsExtensionReplaced) {
  EXPECT_EQ(ui::IniFilePath("C:\\Tools\\NOLPAID.exe"), "C:\\Tools\\NOLPAID.ini");
  EXPECT_EQ(ui::IniFilePath("C:\\v1.2\\NOLPAID"), "C:\\v1.2\\NOLPAID.ini");
  EXPECT_EQ(ui::IniFilePath("C:\\a.b\\x.y.exe"), "C:\\a.b\\x.y.ini");
  EXPECT_EQ(ui::IniFilePath(""), "");
}

TEST(AddDeviceModels, AnExtraModelListsItsPrintersAndAnEmptyOneListsAll) {
  struct Case {
    const char* ini;
    std::vector<std::string> listed;
  } const cases[] = {
      {"", {"RK-L5200 II", "RK-L880"}},
      {"[AddDevice]\n1=TM-X\n", {"TM-X9", "RK-L5200 II", "RK-L880"}},
      {"[AddDevice]\n3=\n", {"TM-X9", "other", "RK-L5200 II", "RK-L880"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    SimHarness h;
    h.host.SetIniFile(kIni, c.ini);
    AddClassPrinter(h, "a", "TM-X9");
    AddClassPrinter(h, "b", "other");
    AddClassPrinter(h, "c", "RK-L5200 II");
    AddClassPrinter(h, "d", "RK-L880");
    ui::TMainForm& form = h.Show();
    EXPECT_EQ(form.ComboBox1.Items(), c.listed);
    EXPECT_EQ(h.world.OpenHandles(), 0u);
    EXPECT_EQ(h.world.OpenSets(), 0u);
  }
}

}  // namespace
}  // namespace nolpa
