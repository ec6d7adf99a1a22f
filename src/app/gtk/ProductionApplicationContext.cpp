// The production context: one transport, one vault, one cookie coordinator, one preferences
// object (the surface services' own), one diagnostics sender.
#include "app/gtk/ProductionApplicationContext.h"

#include "OrlithBuildConfig.h"
#include "app/CoordinatorUpdateClient.h"
#include "base/BundleInfo.h"
#include "base/NotificationHub.h"
#include "platform/curl/CurlHttpTransport.h"
#include "platform/glib/FileManagerRevealer.h"
#include "platform/glib/UriLauncher.h"
#include "platform/secret/LibsecretSecretStore.h"
#include "session/SessionKeychain.h"
#include "session/SessionVault.h"
#include "session/gtk/WebKitCookieStore.h"
#include "signin/gtk/AuthKitStyleSheet.h"
#include "signin/gtk/SignInStyleSheet.h"
#include "ui/AppearanceStyleProvider.h"
#include "ui/BrandKitStyleSheet.h"
#include "update/client/UpdateHostHooks.h"
#include "update/client/UpdateInstallerClient.h"
#include "update/client/gtk/UpdateClientStyleSheet.h"
#include "update/client/gtk/UpdateIndicatorButton.h"
#include "update/trust/UpdateInstallerChannel.h"
#include "workspace/surface/ActiveDownloads.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

#include <filesystem>

namespace orlith {

std::unique_ptr<Gtk::Widget> makeUpdateIndicator(UpdateClient& updates) {
  if (UpdateIndicatorModel* model = updates.indicatorModel())
    return std::make_unique<UpdateIndicatorButton>(*model);
  return makeUpdateIndicatorPlaceholder();
}

std::unique_ptr<Gtk::Widget> makeUpdateIndicatorPlaceholder() {
  auto place = std::make_unique<Gtk::Box>();
  place->set_size_request(26, 26);
  place->set_halign(Gtk::Align::CENTER);
  place->set_valign(Gtk::Align::CENTER);
  return place;
}

namespace {

// The display's launch context, which carries the activation token to the opened handler.
GObjectPtr<GAppLaunchContext> displayLaunchContext() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr)
    return nullptr;
  return GObjectPtr<GAppLaunchContext>(
      G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)));
}

// The toolkit's quit only asks the main loop to end, and always returns.
TerminateAnswer quitApplication() {
  GApplication* application = g_application_get_default();
  if (application == nullptr)
    return TerminateAnswer::refused;
  g_application_quit(application);
  return TerminateAnswer::quitting;
}

// The update client, its coordinator made on first use. The hub belongs to the context, which
// is made after it; `hub` is filled in then.
std::unique_ptr<UpdateClient> makeUpdateClient(std::shared_ptr<HttpTransport> transport,
                                               Clock& clock, Scheduler& scheduler,
                                               UuidSource& uuids,
                                               std::shared_ptr<NotificationHub*> hub) {
  auto factory = [transport, &clock, &scheduler, &uuids, hub] {
    UpdateHostHooks hooks;
    hooks.hasActiveDownloads = [] { return !ActiveDownloads::shared().isEmpty(); };
    hooks.showPanel = &UpdateIndicatorButton::showPanel;
    hooks.closePanels = &UpdateIndicatorButton::closePanels;
    hooks.openInstaller = [](const std::filesystem::path& package) {
      GCharPtr uri(g_filename_to_uri(package.c_str(), nullptr, nullptr));
      return uri && UriLauncher::launch(uri.get(), displayLaunchContext().get());
    };
    hooks.revealApplication = [] {
      if (auto bundle = BundleInfo::mainBundlePath()) {
        FileManagerRevealer revealer([](const std::string& uri) {
          return UriLauncher::launch(uri, displayLaunchContext().get());
        });
        revealer.reveal(*bundle);
      }
    };
    hooks.announceRestart = [hub] {
      if (*hub != nullptr)
        (*hub)->post(kWillRestartForUpdateNotification);
    };
    hooks.terminate = &quitApplication;
    return std::make_shared<UpdateCoordinator>(
        makeUpdateCoordinatorDependencies(transport, clock, uuids, std::move(hooks)), scheduler,
        uuids, BundleInfo::main().appVersion());
  };
  return std::make_unique<CoordinatorUpdateClient>(std::move(factory),
                                                   UpdateInstallerClient::isInstallerBundled(),
                                                   BundleInfo::main().appVersion());
}

}  // namespace

std::unique_ptr<ApplicationContext> makeProductionApplicationContext(
    OrlithEnvironment environment, WorkspaceNetworkSession& network,
    std::optional<std::string> keychainService, std::unique_ptr<UpdateClient> updates) {
  DesktopSurfaceServices& surface = DesktopSurfaceServices::shared();
  std::optional<LocalTlsAuthority> authority;
  if (build::kOriginIsLocal)
    authority = LocalTlsAuthority{build::kServiceHost, build::kDevAuthorityPath};
  auto transport = std::make_shared<CurlHttpTransport>(authority);

  const BundleInfo& bundle = BundleInfo::main();
  AppIdentity identity = AppIdentity::fromBundle(bundle);
  auto secrets = std::make_shared<LibsecretSecretStore>(identity.bundleIdentifier);
  auto keychain = std::make_shared<SessionKeychain>(
      secrets,
      keychainService ? *keychainService : SessionKeychain::serviceFor(bundle.identifier()));
  auto vault = std::make_shared<SessionVault>(keychain, surface.preferences());
  auto clock = std::make_shared<SystemClock>();
  auto coordinator = std::make_shared<SessionCookieCoordinator>(environment.hosts(), clock);
  auto webCookies = std::make_shared<WebKitCookieStore>(network.get());

  auto store = SessionStore::create(
      SessionStore::Dependencies{environment, transport, identity, clock, vault, coordinator,
                                 webCookies, std::make_shared<RandomUuidSource>()});
  auto diagnostics = std::make_unique<DesktopDiagnostics>(environment, surface.preferences(),
                                                          *transport, identity.appVersion);

  auto hub = std::make_shared<NotificationHub*>(nullptr);
  if (!updates)
    updates =
        makeUpdateClient(transport, surface.clock(), surface.scheduler(), surface.uuids(), hub);
  auto context = std::make_unique<ApplicationContext>(ApplicationContext::Dependencies{
      environment, surface.clock(), surface.scheduler(), surface.uuids(), surface.preferences(),
      surface.appearance(), std::move(store), std::move(coordinator), std::move(webCookies),
      std::move(diagnostics), std::move(updates), &DesktopSurfaceServices::openExternally});
  *hub = &context->hub();
  return context;
}

void installApplicationStyles(AppearanceSettings& appearance) {
  static std::unique_ptr<AppearanceStyleProvider> provider;
  if (provider)
    return;
  provider =
      AppearanceStyleProvider::palette(Gdk::Display::get_default(), appearance.resolvedIsDark());
  addBrandKitStyleSheet(*provider);
  addSignInStyleSheets(*provider);
  // The window's background in the canvas colour; the recovery screen.
  provider->addSheet("shell", [](bool) {
    return std::string(R"css(
window.orlith-window { background-color: @orlith_canvas; }
.orlith-recovery-title { font-size: 17px; font-weight: 600; color: @orlith_ink; }
.orlith-recovery-message { font-size: 13px; color: @orlith_inkMuted; }
)css");
  });
  addWorkspaceViewStyleSheet(*provider);
  addUpdateClientStyleSheet(*provider);
  provider->follow(appearance);
}

}  // namespace orlith
