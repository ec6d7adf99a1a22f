// The file-manager reveal on this test's own session bus: a file manager that answers gets the
// item's address and the folder is left alone; without one, the folder is opened instead.
#include "platform/glib/FileManagerRevealer.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace orlith {
namespace {

using namespace std::chrono_literals;

constexpr const char* kInterface =
    "<node><interface name='org.freedesktop.FileManager1'>"
    "<method name='ShowItems'><arg type='as' direction='in'/><arg type='s' direction='in'/>"
    "</method></interface></node>";

// Runs the default main context until `done` holds or `limit` passes.
template <class Done>
bool iterateUntil(Done done, std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline)
    g_main_context_iteration(nullptr, FALSE);
  return done();
}

TEST(FileManagerRevealerTest, WithoutAFileManagerTheFolderOpens) {
  std::vector<std::string> opened;
  FileManagerRevealer revealer([&](const std::string& uri) {
    opened.push_back(uri);
    return true;
  });
  revealer.reveal("/opt/Applications/Orlith.app");
  ASSERT_TRUE(iterateUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector<std::string>{"file:///opt/Applications"});
}

TEST(FileManagerRevealerTest, AFileManagerOnTheBusIsAskedToShowTheItem) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(bus, nullptr) << "no session bus";
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
  std::vector<std::string> shown;
  const GDBusInterfaceVTable table{
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
         GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
        GVariantIter* uris = nullptr;
        const gchar* startup = nullptr;
        g_variant_get(parameters, "(as&s)", &uris, &startup);
        const gchar* uri = nullptr;
        while (g_variant_iter_next(uris, "&s", &uri))
          static_cast<std::vector<std::string>*>(data)->push_back(uri);
        g_variant_iter_free(uris);
        g_dbus_method_invocation_return_value(invocation, nullptr);
      },
      nullptr,
      nullptr,
      {}};
  const guint object = g_dbus_connection_register_object(
      bus, "/org/freedesktop/FileManager1", node->interfaces[0], &table, &shown, nullptr, nullptr);
  bool owned = false;
  const guint name = g_bus_own_name_on_connection(
      bus, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, gpointer data) { *static_cast<bool*>(data) = true; },
      nullptr, &owned, nullptr);
  ASSERT_TRUE(iterateUntil([&] { return owned; }));

  std::vector<std::string> opened;
  FileManagerRevealer revealer([&](const std::string& uri) {
    opened.push_back(uri);
    return true;
  });
  revealer.reveal("/opt/Applications/Orlith app.app");
  ASSERT_TRUE(iterateUntil([&] { return !shown.empty(); }));
  EXPECT_EQ(shown, std::vector<std::string>{"file:///opt/Applications/Orlith%20app.app"});
  // The answer has come back by now: nothing falls back to the folder.
  iterateUntil([] { return false; }, 300ms);
  EXPECT_TRUE(opened.empty());

  g_bus_unown_name(name);
  g_dbus_connection_unregister_object(bus, object);
  g_dbus_node_info_unref(node);
  g_object_unref(bus);
}

}  // namespace
}  // namespace orlith
