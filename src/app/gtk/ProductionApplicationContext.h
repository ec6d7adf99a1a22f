// Assembles the application context from the production adapters: libcurl, the keyring, the
// web views' cookie store and the process's preferences, appearance and time.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ApplicationContext.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

namespace orlith {

// The update client's indicator for one window's chrome; a process without an update client
// has a fixed empty 26 × 26 place there.
using UpdateIndicatorFactory = std::function<std::unique_ptr<Gtk::Widget>()>;
std::unique_ptr<Gtk::Widget> makeUpdateIndicator(UpdateClient& updates);
std::unique_ptr<Gtk::Widget> makeUpdateIndicatorPlaceholder();

// `environment` is the compiled-in one in production; tests pass the stand-in's, and a keyring
// service of their own so that tests running side by side do not share a session. The network
// session must outlive the context. Nothing is restored yet: the caller runs the launch restore.
// Without an update client given, the update coordinator's, made on first use.
std::unique_ptr<ApplicationContext> makeProductionApplicationContext(
    OrlithEnvironment environment, WorkspaceNetworkSession& network,
    std::optional<std::string> keychainService = std::nullopt,
    std::unique_ptr<UpdateClient> updates = nullptr);

// The palette and the window's style sheets on the default display, following the app's
// appearance. Once per process; later calls do nothing.
void installApplicationStyles(AppearanceSettings& appearance);

}  // namespace orlith
