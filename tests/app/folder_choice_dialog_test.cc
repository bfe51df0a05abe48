// Browse on the install page: the desktop's folder chooser when a portal
// answers on the session bus (a fake one on a private bus here), the folder
// choice form of our own in the launcher window when none does; either way
// the result, checked, becomes the proposed client folder.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/logic.h"
#include "base/log_impl.h"
#include "config/launcher_lang_table.h"
#include "platform/process.h"
#include "support/desktop_bus.h"
#include "support/logic_harness.h"
#include "support/platform_sandbox.h"
#include "support/scoped_variable.h"
#include "ui/control_name_table.h"
#include "ui/folder_choice_form.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_folder_list_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/layered_window.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kChooserXml = R"(<node>
  <interface name="org.freedesktop.portal.FileChooser">
    <method name="OpenFile">
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="s" name="title" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
  </interface>
</node>)";

// The portal's FileChooser: answers OpenFile with a request path and at once
// sends that request's Response with `uri` (response 0) or a cancel (1).
class FakePortal {
 public:
  FakePortal(const std::string& address, std::string uri, guint32 response)
      : m_uri(std::move(uri)), m_response(response) {
    m_thread = std::thread([this, address] { Serve(address); });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_state != kStarting; });
  }
  ~FakePortal() {
    if (m_loop) g_main_loop_quit(m_loop);
    m_thread.join();
  }
  bool Ready() const { return m_state == kReady; }

  struct Call {
    std::string parent, title, currentFolder;
    bool directory = false;
    bool modal = false;
  };
  Call LastCall() {
    std::lock_guard lock(m_mutex);
    return m_call;
  }
  int Calls() {
    std::lock_guard lock(m_mutex);
    return m_calls;
  }

 private:
  enum State { kStarting, kReady, kFailed };

  static void OnMethod(GDBusConnection* connection, const gchar* sender, const gchar*, const gchar*, const gchar*,
                       GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<FakePortal*>(data);
    const gchar* parent = nullptr;
    const gchar* title = nullptr;
    GVariant* options = nullptr;
    g_variant_get(parameters, "(&s&s@a{sv})", &parent, &title, &options);
    const gchar* token = "t";
    g_variant_lookup(options, "handle_token", "&s", &token);
    Call call{parent, title, "", false, false};
    const gchar* folder = nullptr;
    if (g_variant_lookup(options, "current_folder", "^&ay", &folder)) call.currentFolder = folder;
    gboolean flag = FALSE;
    if (g_variant_lookup(options, "directory", "b", &flag)) call.directory = flag;
    if (g_variant_lookup(options, "modal", "b", &flag)) call.modal = flag;
    std::string senderPart = sender + 1;
    for (char& c : senderPart) {
      if (c == '.') c = '_';
    }
    const std::string path = std::string("/org/freedesktop/portal/desktop/request/") + senderPart + "/" + token;
    {
      std::lock_guard lock(self->m_mutex);
      self->m_call = call;
      ++self->m_calls;
    }
    g_variant_unref(options);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE("a{sv}"));
    if (self->m_response == 0) {
      const gchar* uris[] = {self->m_uri.c_str(), nullptr};
      g_variant_builder_add(&results, "{sv}", "uris", g_variant_new_strv(uris, 1));
    }
    g_dbus_connection_emit_signal(connection, sender, path.c_str(), "org.freedesktop.portal.Request", "Response",
                                  g_variant_new("(ua{sv})", self->m_response, &results), nullptr);
  }

  void Finish(State state) {
    std::lock_guard lock(m_mutex);
    m_state = state;
    m_changed.notify_all();
  }

  void Serve(const std::string& address) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kChooserXml, nullptr);
    static const GDBusInterfaceVTable vtable = {OnMethod, nullptr, nullptr, {}};
    guint object = 0;
    GVariant* named = nullptr;
    if (connection && node) {
      object = g_dbus_connection_register_object(connection, "/org/freedesktop/portal/desktop", node->interfaces[0],
                                                 &vtable, this, nullptr, nullptr);
      named = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus", "RequestName",
                                          g_variant_new("(su)", "org.freedesktop.portal.Desktop", 4u),
                                          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    }
    if (object != 0 && named != nullptr) {
      m_loop = g_main_loop_new(context, FALSE);
      Finish(kReady);
      g_main_loop_run(m_loop);
      g_main_loop_unref(m_loop);
    } else {
      Finish(kFailed);
    }
    if (named) g_variant_unref(named);
    if (object) g_dbus_connection_unregister_object(connection, object);
    if (node) g_dbus_node_info_unref(node);
    if (connection) {
      g_dbus_connection_close_sync(connection, nullptr, nullptr);
      g_object_unref(connection);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  std::string m_uri;
  guint32 m_response;
  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  State m_state = kStarting;
  GMainLoop* m_loop = nullptr;
  Call m_call;
  int m_calls = 0;
};

class FolderChoiceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_games = m_sandbox.dir() / "games";
    fs::create_directories(m_games / "Alpha");
    fs::create_directories(m_games / "Beta");
    fs::create_directories(m_games / ".hidden");
    m_logic = testing_support::InstallRunLogic({"http://127.0.0.1:9"}, m_log,
                                               (m_sandbox.dir() / "Launcher.exe").string());
    m_logic->clientFolder = (m_games / m_logic->settings.fullName).string();
    m_logic->PrepareSinglePage();
  }
  void TearDown() override { m_logic->uninit(); }

  ui::CLayeredWindow& Window() { return *m_logic->SkinnedWindow(); }
  ui::GuiControl* Control(int id) { return Window().FindControl(id); }

  void Click(int id) {
    const ui::GuiControl* control = Control(id);
    ASSERT_NE(control, nullptr) << id;
    ClickAt(control->ScreenRect().x + control->ScreenRect().width / 2,
            control->ScreenRect().y + control->ScreenRect().height / 2);
  }
  void ClickAt(int x, int y) {
    Window().OnMouseMove(x, y);
    Window().OnLButtonDown(x, y);
    Window().OnLButtonUp(x, y);
  }
  // A click on the row of the folder list that shows `name`.
  void ClickRow(const std::string& name) {
    auto* list = dynamic_cast<ui::CGuiFolderListCtrl*>(Control(ui::ctlFolderChoiceList));
    ASSERT_NE(list, nullptr);
    const auto& rows = list->Rows();
    const auto it = std::find(rows.begin(), rows.end(), name);
    ASSERT_NE(it, rows.end()) << name;
    const ui::GuiRect rect = list->ScreenRect();
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      if (list->RowAt({rect.x + 5, y}) == it - rows.begin()) {
        ClickAt(rect.x + 5, y + 2);
        return;
      }
    }
    FAIL() << "no row " << name;
  }
  std::string EditText() {
    return dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))->Content();
  }
  std::string FolderText() { return dynamic_cast<ui::CGuiTextLabelCtrl*>(Control(ui::ctlSingleInstallTextFolder))->text; }
  bool FolderFormInFront() {
    return Window().CurrentFormIndex() + 1 == ui::CFolderChoiceForm::FormNumberIn(Window());
  }

  testing_support::PlatformSandbox m_sandbox;
  CLogImplW m_log;
  fs::path m_games;
  std::unique_ptr<CLogic> m_logic;
};

TEST_F(FolderChoiceDialogTest, WithoutAPortalTheOwnFormChoosesAndTheFieldGoesFirst) {
  testing_support::ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_sandbox.dir() / "no-bus").string());
  const std::string product = m_logic->settings.fullName;
  const std::string before = m_logic->clientFolder;

  Click(ui::ctlSingleInstallButtonBrowse);
  ASSERT_TRUE(FolderFormInFront());
  // Opened on the nearest existing folder, the field shows the client folder.
  EXPECT_EQ(m_logic->FolderChoiceForm()->ListedFolder(), m_games.string());
  EXPECT_EQ(dynamic_cast<ui::CGuiFolderListCtrl*>(Control(ui::ctlFolderChoiceList))->Rows(),
            (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(EditText(), before);
  EXPECT_EQ(dynamic_cast<ui::CGuiTextLabelCtrl*>(Control(ui::ctlFolderChoiceCaption))->text, GetString(24));

  ClickRow("Beta");  // entered: its (empty) subfolders listed, proposed with the product name
  EXPECT_EQ(m_logic->FolderChoiceForm()->ListedFolder(), (m_games / "Beta").string());
  EXPECT_EQ(EditText(), (m_games / "Beta" / product).string());
  Click(ui::ctlFolderChoiceUp);
  Click(ui::ctlFolderChoiceUp);
  EXPECT_EQ(m_logic->FolderChoiceForm()->ListedFolder(), m_sandbox.dir().path().string());
  EXPECT_EQ(EditText(), (m_sandbox.dir() / product).string());
  ClickRow("games");
  ClickRow("Alpha");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
  EXPECT_EQ(Window().CurrentFormIndex(), ePage_SingleInstall - 1);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Alpha" / product).string());
  EXPECT_EQ(FolderText(), m_logic->clientFolder);

  // A typed path wins over the list, cleaned.
  Click(ui::ctlSingleInstallButtonBrowse);
  dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))
      ->SetContent("\"" + m_games.string() + "//Typed/\"");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Typed").string());
  EXPECT_FALSE(fs::exists(m_games / "Typed"));  // nothing is made before the install

  // Cancel and an emptied field change nothing.
  Click(ui::ctlSingleInstallButtonBrowse);
  ClickRow("Beta");
  Click(ui::ctlFolderChoiceCancel);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Typed").string());
  Click(ui::ctlSingleInstallButtonBrowse);
  dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))->SetContent("  ");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Typed").string());
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
}

TEST_F(FolderChoiceDialogTest, TheHomeFolderIsRefusedWithTheMessagePage) {
  testing_support::ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_sandbox.dir() / "no-bus").string());
  const fs::path home = m_sandbox.dir() / "home";
  fs::create_directories(home);
  testing_support::ScopedVariable homeVariable("HOME", home.string());
  const std::string before = m_logic->clientFolder;
  Click(ui::ctlSingleInstallButtonBrowse);
  dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))->SetContent(home.string() + "/");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->clientFolder, before);
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleMessage);
  EXPECT_EQ(m_logic->pages.Message().text, GetString(93));
  Click(ui::ctlMboxOk);
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
}

TEST_F(FolderChoiceDialogTest, APortalOnTheSessionBusChoosesTheFolder) {
  testing_support::PrivateSessionBus bus(m_sandbox.dir().path());
  if (!bus.ok()) GTEST_SKIP() << "dbus-daemon could not start a private bus";
  testing_support::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", bus.address());
  const fs::path chosen = m_sandbox.dir() / "chosen dir";
  fs::create_directories(chosen);
  gchar* uri = g_filename_to_uri(chosen.c_str(), nullptr, nullptr);
  {
    FakePortal portal(bus.address(), uri, 0);
    ASSERT_TRUE(portal.Ready());
    Click(ui::ctlSingleInstallButtonBrowse);
    EXPECT_EQ(portal.Calls(), 1);
    const FakePortal::Call call = portal.LastCall();
    EXPECT_EQ(call.title, GetString(24));
    EXPECT_EQ(call.currentFolder, m_games.string());
    EXPECT_TRUE(call.directory);
    EXPECT_TRUE(call.modal);
    EXPECT_FALSE(FolderFormInFront());
    EXPECT_EQ(m_logic->clientFolder, (chosen / m_logic->settings.fullName).string());
    EXPECT_EQ(FolderText(), m_logic->clientFolder);
  }
  g_free(uri);
  {
    FakePortal cancelling(bus.address(), "", 1);
    ASSERT_TRUE(cancelling.Ready());
    const std::string before = m_logic->clientFolder;
    Click(ui::ctlSingleInstallButtonBrowse);
    EXPECT_EQ(cancelling.Calls(), 1);
    EXPECT_EQ(m_logic->clientFolder, before);
    EXPECT_FALSE(FolderFormInFront());
  }
}

}  // namespace
