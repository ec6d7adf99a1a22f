// The production context: one transport, one vault, one cookie coordinator, one preferences
// object (the surface services' own), one diagnostics sender.
#include "app/gtk/ProductionApplicationContext.h"

#include "OrlithBuildConfig.h"
#include "base/BundleInfo.h"
#include "platform/curl/CurlHttpTransport.h"
#include "platform/secret/LibsecretSecretStore.h"
#include "session/SessionKeychain.h"
#include "session/SessionVault.h"
#include "session/gtk/WebKitCookieStore.h"
#include "signin/gtk/AuthKitStyleSheet.h"
#include "update/trust/UpdateInstallerChannel.h"
#include "workspace/surface/gtk/AppearanceStyleProvider.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

#include <filesystem>

namespace orlith {

std::unique_ptr<Gtk::Widget> makeUpdateIndicatorPlaceholder() {
  auto place = std::make_unique<Gtk::Box>();
  place->set_size_request(26, 26);
  place->set_halign(Gtk::Align::CENTER);
  place->set_valign(Gtk::Align::CENTER);
  return place;
}

namespace {

bool installerIsBundled() {
  auto bundle = BundleInfo::mainBundlePath();
  if (!bundle)
    return false;
  std::error_code error;
  return std::filesystem::exists(UpdateInstallerChannel::serviceBundleOf(*bundle), error);
}

}  // namespace

std::unique_ptr<ApplicationContext> makeProductionApplicationContext(
    OrlithEnvironment environment, WorkspaceNetworkSession& network,
    std::optional<std::string> keychainService) {
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

  return std::make_unique<ApplicationContext>(ApplicationContext::Dependencies{
      environment, surface.clock(), surface.scheduler(), surface.uuids(), surface.preferences(),
      surface.appearance(), std::move(store), std::move(coordinator), std::move(webCookies),
      std::move(diagnostics), std::make_unique<NoUpdateClient>(installerIsBundled()),
      &DesktopSurfaceServices::openExternally});
}

void installApplicationStyles(AppearanceSettings& appearance) {
  static std::unique_ptr<AppearanceStyleProvider> provider;
  if (provider)
    return;
  provider =
      AppearanceStyleProvider::palette(Gdk::Display::get_default(), appearance.resolvedIsDark());
  addAuthKitStyleSheet(*provider);
  addWorkspaceViewStyleSheet(*provider);
  provider->follow(appearance);
}

}  // namespace orlith
