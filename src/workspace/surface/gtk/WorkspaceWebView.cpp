// Constructs the tab's WebKitWebView and translates its signals for the coordinator; it decides
// nothing itself. Every closure handed to GLib holds the engine weakly.
#include "workspace/surface/gtk/WorkspaceWebView.h"

#include <pwd.h>
#include <unistd.h>

#include <coroutine>
#include <cstring>
#include <utility>
#include <vector>

#include "base/BundleInfo.h"
#include "session/OrlithWire.h"
#include "workspace/surface/DownloadDestination.h"
#include "workspace/surface/OrlithPalette.h"
#include "workspace/surface/PageTitle.h"
#include "workspace/surface/gtk/GdkColour.h"
#include "workspace/surface/gtk/WebProcessExtensions.h"

namespace orlith {
namespace {

struct ScriptCall {
  bool done = false;
  std::optional<Json> result;
  detail::ResumeSlot slot;
};

class ScriptAwaiter {
 public:
  explicit ScriptAwaiter(std::shared_ptr<ScriptCall> call) : call_(std::move(call)) {}
  bool await_ready() const noexcept { return call_->done; }
  void await_suspend(std::coroutine_handle<> handle) {
    pending_.arm(handle);
    call_->slot = pending_.slot();
  }
  std::optional<Json> await_resume() { return std::move(call_->result); }

 private:
  std::shared_ptr<ScriptCall> call_;
  detail::PendingResume pending_;
};

std::optional<Json> jsonOfValue(JSCValue* value) {
  if (!value || jsc_value_is_undefined(value))
    return std::nullopt;
  GCharPtr text(jsc_value_to_json(value, 0));
  if (!text)
    return std::nullopt;
  Json parsed = Json::parse(text.get(), nullptr, false);
  if (parsed.is_discarded())
    return std::nullopt;
  return parsed;
}

void finishScript(GObject* source, GAsyncResult* result, gpointer data, bool isCall) {
  std::unique_ptr<std::shared_ptr<ScriptCall>> holder(
      static_cast<std::shared_ptr<ScriptCall>*>(data));
  std::shared_ptr<ScriptCall> call = *holder;
  GError* rawError = nullptr;
  JSCValue* value = isCall ? webkit_web_view_call_async_javascript_function_finish(
                                 WEBKIT_WEB_VIEW(source), result, &rawError)
                           : webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source),
                                                                        result, &rawError);
  GErrorPtr error(rawError);
  GObjectPtr<JSCValue> owned(value);
  call->result = error ? std::nullopt : jsonOfValue(value);
  call->done = true;
  if (call->slot)
    detail::resumeOnMainQueue(call->slot);
}

GVariant* vardictOf(const Json& arguments) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  if (arguments.is_object()) {
    for (const auto& [key, value] : arguments.items()) {
      GVariant* item = nullptr;
      if (value.is_string())
        item = g_variant_new_string(value.get_ref<const std::string&>().c_str());
      else if (value.is_boolean())
        item = g_variant_new_boolean(value.get<bool>());
      else if (value.is_number_integer())
        item = g_variant_new_int64(value.get<std::int64_t>());
      else if (value.is_number())
        item = g_variant_new_double(value.get<double>());
      if (item)
        g_variant_builder_add(&builder, "{sv}", key.c_str(), item);
    }
  }
  return g_variant_builder_end(&builder);
}

EngineError engineErrorOf(const GError* error) {
  EngineError result;
  result.domain = g_quark_to_string(error->domain);
  result.code = error->code;
  auto kindOf = [&]() {
    if (error->domain == WEBKIT_NETWORK_ERROR && error->code == WEBKIT_NETWORK_ERROR_CANCELLED)
      return EngineErrorKind::cancelled;
    if (error->domain == WEBKIT_POLICY_ERROR &&
        error->code == WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)
      return EngineErrorKind::interruptedByPolicy;
    if (error->domain == G_IO_ERROR) {
      switch (error->code) {
        case G_IO_ERROR_CANCELLED:
          return EngineErrorKind::cancelled;
        case G_IO_ERROR_CONNECTION_REFUSED:
          return EngineErrorKind::connectionRefused;
        case G_IO_ERROR_TIMED_OUT:
          return EngineErrorKind::timedOut;
        case G_IO_ERROR_HOST_UNREACHABLE:
        case G_IO_ERROR_NETWORK_UNREACHABLE:
          return EngineErrorKind::unreachable;
        case G_IO_ERROR_CONNECTION_CLOSED:
          return EngineErrorKind::connectionLost;
        default:
          return EngineErrorKind::other;
      }
    }
    if (error->domain == G_RESOLVER_ERROR) {
      if (error->code == G_RESOLVER_ERROR_NOT_FOUND)
        return EngineErrorKind::hostNotFound;
      if (error->code == G_RESOLVER_ERROR_TEMPORARY_FAILURE)
        return EngineErrorKind::dnsTemporaryFailure;
    }
    if (error->domain == G_TLS_ERROR)
      return EngineErrorKind::tls;
    return EngineErrorKind::other;
  };
  result.kind = kindOf();
  return result;
}

NavigationType navigationTypeOf(WebKitNavigationType type) {
  switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
      return NavigationType::linkActivated;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
      return NavigationType::formSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
      return NavigationType::backForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
      return NavigationType::reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
      return NavigationType::formResubmitted;
    case WEBKIT_NAVIGATION_TYPE_OTHER:
      break;
  }
  return NavigationType::other;
}

std::string requestUri(WebKitNavigationAction* action) {
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

void answer(WebKitPolicyDecision* decision, PolicyDecision outcome) {
  switch (outcome) {
    case PolicyDecision::allow:
      webkit_policy_decision_use(decision);
      return;
    case PolicyDecision::download:
      webkit_policy_decision_download(decision);
      return;
    case PolicyDecision::cancel:
      break;
  }
  webkit_policy_decision_ignore(decision);
}

// The desktop has no notice of a finished download; it learns of the file as a recent one.
void addToRecentFiles(const std::filesystem::path& file, const char* uri) {
  GCharPtr contentType(g_content_type_guess(file.c_str(), nullptr, 0, nullptr));
  GCharPtr mimeType(contentType ? g_content_type_get_mime_type(contentType.get()) : nullptr);
  std::string mime = mimeType ? mimeType.get() : "application/octet-stream";
  std::string appName(kProductTitle);
  const char* program = g_get_prgname();
  std::string appExec = std::string(program ? program : "orlith") + " %u";
  GtkRecentData data{};
  data.mime_type = mime.data();
  data.app_name = appName.data();
  data.app_exec = appExec.data();
  gtk_recent_manager_add_full(gtk_recent_manager_get_default(), uri, &data);
}

}  // namespace

class WorkspaceWebView::Engine final : public WebEngineView,
                                       public UserContentController,
                                       public std::enable_shared_from_this<Engine> {
 public:
  using Weak = std::weak_ptr<Engine>;

  Engine(WorkspaceNetworkSession& session, std::shared_ptr<WorkspaceModel> model,
         WorkspaceWebViewOptions options)
      : session_(session.get()),
        model_(std::move(model)),
        options_(std::move(options)),
        cancellable_(adoptObject(g_cancellable_new())) {}

  ~Engine() override { dismantle(); }

  void start(SurfaceServices services, SurfaceSession surfaceSession);
  void dismantle();

  GtkWidget* container() const { return container_.get(); }
  WebKitWebView* view() const { return view_.get(); }
  WorkspaceSurfaceCoordinator& coordinator() const { return *coordinator_; }
  sigc::signal<void(const std::string&)> messageReceived;
  sigc::signal<void()> loadFinished;

  // WebEngineView
  void load(const Url& url) override {
    webkit_web_view_load_uri(view_.get(), url.absoluteString().c_str());
  }
  void reload(ReloadCache cache) override {
    if (cache == ReloadCache::bypass)
      webkit_web_view_reload_bypass_cache(view_.get());
    else
      webkit_web_view_reload(view_.get());
  }
  void stopLoading() override { webkit_web_view_stop_loading(view_.get()); }
  bool canGoBack() const override { return webkit_web_view_can_go_back(view_.get()); }
  bool canGoForward() const override { return webkit_web_view_can_go_forward(view_.get()); }
  void goBack() override { webkit_web_view_go_back(view_.get()); }
  void goForward() override { webkit_web_view_go_forward(view_.get()); }
  double zoomLevel() const override { return webkit_web_view_get_zoom_level(view_.get()); }
  void setZoomLevel(double level) override { webkit_web_view_set_zoom_level(view_.get(), level); }
  // The web view itself, not its container: the container takes no focus of its own.
  void focus() override { gtk_widget_grab_focus(GTK_WIDGET(view_.get())); }
  bool isShownInActiveWindow() const override {
    GtkWidget* widget = GTK_WIDGET(view_.get());
    GtkRoot* root = gtk_widget_get_root(widget);
    return gtk_widget_is_visible(widget) && root && GTK_IS_WINDOW(root) &&
           gtk_window_is_active(GTK_WINDOW(root));
  }
  std::optional<std::string> currentUri() const override {
    const char* uri = webkit_web_view_get_uri(view_.get());
    if (!uri)
      return std::nullopt;
    return std::string(uri);
  }
  Task<std::optional<Json>> evaluateScript(std::string source, ScriptWorld world) override {
    return runScript(weak_from_this(), std::move(source), std::nullopt, world);
  }
  Task<std::optional<Json>> callFunction(std::string body, Json arguments,
                                         ScriptWorld world) override {
    return runScript(weak_from_this(), std::move(body), std::move(arguments), world);
  }

  // UserContentController
  void removeAllScripts() override {
    webkit_user_content_manager_remove_all_scripts(content_.get());
  }
  void addScript(const UserScript& script) override {
    auto frames = script.frames == ScriptFrames::topFrameOnly
                      ? WEBKIT_USER_CONTENT_INJECT_TOP_FRAME
                      : WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES;
    auto time = script.time == ScriptInjectionTime::documentStart
                    ? WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START
                    : WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END;
    const std::string world(kReadinessWorldName);
    WebKitUserScript* userScript =
        script.world == ScriptWorld::readiness
            ? webkit_user_script_new_for_world(script.source.c_str(), frames, time, world.c_str(),
                                               nullptr, nullptr)
            : webkit_user_script_new(script.source.c_str(), frames, time, nullptr, nullptr);
    webkit_user_content_manager_add_script(content_.get(), userScript);
    webkit_user_script_unref(userScript);
  }

 private:
  struct DownloadRecord {
    DownloadRecord(UuidSource& uuids, std::filesystem::path folder, Weak owner)
        : destination(ActiveDownloads::shared(), uuids),
          folder(std::move(folder)),
          owner(std::move(owner)) {}
    DownloadDestination destination;
    std::filesystem::path folder;
    Weak owner;
    bool failed = false;
  };
  using RecordHandle = std::shared_ptr<DownloadRecord>;

  static Task<std::optional<Json>> runScript(Weak weak, std::string source,
                                             std::optional<Json> arguments, ScriptWorld world);

  template <class Instance>
  void connect(Instance* instance, const char* signal, GCallback callback) {
    gulong id = g_signal_connect_data(
        instance, signal, callback, new Weak(weak_from_this()),
        [](gpointer data, GClosure*) { delete static_cast<Weak*>(data); }, GConnectFlags(0));
    connections_.emplace_back(retainObject(G_OBJECT(instance)), id);
  }
  static std::shared_ptr<Engine> live(gpointer data) {
    auto self = static_cast<Weak*>(data)->lock();
    if (!self || self->dismantled_)
      return nullptr;
    return self;
  }

  void updateHostVisibility();
  void appearanceChanged();
  void print();

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                               gpointer data);
  static gboolean onTlsErrors(WebKitWebView*, gchar*, GTlsCertificate*, GTlsCertificateFlags,
                              gpointer) {
    return FALSE;
  }
  static void onTitle(GObject*, GParamSpec*, gpointer data);
  static void onUri(GObject*, GParamSpec*, gpointer data);
  static void onHistory(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer,
                        gpointer data);
  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer data);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data);
  static gboolean onPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer data);
  static gboolean onUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer data);
  static void onReadinessMessage(WebKitUserContentManager*, JSCValue* value, gpointer data);
  static void onNetworkChanged(GNetworkMonitor*, gboolean available, gpointer data);
  static void onMapChanged(GtkWidget*, gpointer data);
  static void onToplevelState(GObject*, GParamSpec*, gpointer data);
  static void onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download, gpointer data);
  static gboolean onDecideDestination(WebKitDownload* download, gchar* suggested, gpointer data);
  static void onDownloadFailed(WebKitDownload*, GError*, gpointer data);
  static void onDownloadFinished(WebKitDownload* download, gpointer data);

  WebKitNetworkSession* session_;
  std::shared_ptr<WorkspaceModel> model_;
  WorkspaceWebViewOptions options_;
  UuidSource* uuids_ = nullptr;
  AppearanceSettings* appearance_ = nullptr;
  sigc::connection appearanceConnection_;
  GObjectPtr<GCancellable> cancellable_;
  GObjectPtr<WebKitUserContentManager> content_;
  GObjectPtr<WebKitWebView> view_;
  GObjectPtr<GtkWidget> container_;
  std::shared_ptr<WorkspaceSurfaceCoordinator> coordinator_;
  std::vector<std::pair<GObjectPtr<GObject>, gulong>> connections_;
  std::vector<GObjectPtr<WebKitDownload>> downloads_;
  GdkToplevel* watchedToplevel_ = nullptr;
  WorkspaceSurfaceCoordinator::NavigationId navigation_ = 0;
  bool navigationFailed_ = false;
  bool dismantled_ = false;
};

Task<std::optional<Json>> WorkspaceWebView::Engine::runScript(Weak weak, std::string source,
                                                              std::optional<Json> arguments,
                                                              ScriptWorld world) {
  auto call = std::make_shared<ScriptCall>();
  {
    auto self = weak.lock();
    if (!self || self->dismantled_)
      co_return std::nullopt;
    const std::string worldName(kReadinessWorldName);
    const char* worldArgument = world == ScriptWorld::readiness ? worldName.c_str() : nullptr;
    auto* data = new std::shared_ptr<ScriptCall>(call);
    if (arguments) {
      webkit_web_view_call_async_javascript_function(
          self->view_.get(), source.c_str(), -1, vardictOf(*arguments), worldArgument, nullptr,
          self->cancellable_.get(),
          [](GObject* object, GAsyncResult* result, gpointer userData) {
            finishScript(object, result, userData, true);
          },
          data);
    } else {
      webkit_web_view_evaluate_javascript(
          self->view_.get(), source.c_str(), -1, worldArgument, nullptr, self->cancellable_.get(),
          [](GObject* object, GAsyncResult* result, gpointer userData) {
            finishScript(object, result, userData, false);
          },
          data);
    }
  }
  ScriptAwaiter awaiter(call);
  std::optional<Json> result = co_await awaiter;
  co_return result;
}

void WorkspaceWebView::Engine::start(SurfaceServices services, SurfaceSession surfaceSession) {
  uuids_ = &services.uuids;
  appearance_ = &services.appearance;
  if (options_.downloadsFolder.empty())
    options_.downloadsFolder = userDownloadsFolder();
  if (options_.appVersion.empty())
    options_.appVersion = BundleInfo::main().appVersion();
  if (!services.print) {
    Weak weak = weak_from_this();
    services.print = [weak] {
      if (auto self = weak.lock(); self && !self->dismantled_)
        self->print();
    };
  }

  GObjectPtr<WebKitSettings> settings(webkit_settings_new());
  const std::string product(
      wire::kWebUserAgentPrefix.substr(0, wire::kWebUserAgentPrefix.size() - 1));
  webkit_settings_set_user_agent_with_application_details(settings.get(), product.c_str(),
                                                          options_.appVersion.c_str());
  webkit_settings_set_enable_javascript(settings.get(), TRUE);
  webkit_settings_set_enable_fullscreen(settings.get(), TRUE);
  webkit_settings_set_enable_media_stream(settings.get(), TRUE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings.get(), FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings.get(), TRUE);
  if (options_.mockCaptureDevices)
    webkit_settings_set_enable_mock_capture_devices(settings.get(), TRUE);
  auto policies = adoptObject(webkit_website_policies_new_with_policies(
      "autoplay", WEBKIT_AUTOPLAY_ALLOW_WITHOUT_SOUND, nullptr));

  content_ = adoptObject(webkit_user_content_manager_new());
  const std::string world(kReadinessWorldName);
  webkit_user_content_manager_register_script_message_handler(content_.get(), "orlithSurface",
                                                              world.c_str());
  // A related view brings its network session along; the engine refuses both at once.
  view_ = retainObject(WEBKIT_WEB_VIEW(
      options_.relatedView
          ? g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", options_.relatedView,
                         "user-content-manager", content_.get(), "settings", settings.get(),
                         "website-policies", policies.get(), nullptr)
          : g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session_, "user-content-manager",
                         content_.get(), "settings", settings.get(), "website-policies",
                         policies.get(), nullptr)));
  // Only valid while the view is made.
  options_.relatedView = nullptr;
  // The page's own background, so nothing flashes before it paints.
  const GdkRGBA colour =
      gdkColour(OrlithPalette::canvas.resolved(services.appearance.resolvedIsDark()));
  webkit_web_view_set_background_color(view_.get(), &colour);
  container_ = retainObject(gtk_box_new(GTK_ORIENTATION_VERTICAL, 0));
  gtk_widget_set_hexpand(GTK_WIDGET(view_.get()), TRUE);
  gtk_widget_set_vexpand(GTK_WIDGET(view_.get()), TRUE);
  gtk_box_append(GTK_BOX(container_.get()), GTK_WIDGET(view_.get()));

  WebSurfaceScripts scripts(model_->environment(), options_.appVersion, options_.hosts);
  coordinator_ = WorkspaceSurfaceCoordinator::create(
      model_, std::move(scripts), std::move(services), std::move(surfaceSession), options_.timings);

  connect(content_.get(), "script-message-received::orlithSurface", G_CALLBACK(onReadinessMessage));
  connect(view_.get(), "load-changed", G_CALLBACK(onLoadChanged));
  connect(view_.get(), "load-failed", G_CALLBACK(onLoadFailed));
  connect(view_.get(), "load-failed-with-tls-errors", G_CALLBACK(onTlsErrors));
  connect(view_.get(), "notify::title", G_CALLBACK(onTitle));
  connect(view_.get(), "notify::uri", G_CALLBACK(onUri));
  connect(webkit_web_view_get_back_forward_list(view_.get()), "changed", G_CALLBACK(onHistory));
  connect(view_.get(), "web-process-terminated", G_CALLBACK(onTerminated));
  connect(view_.get(), "decide-policy", G_CALLBACK(onDecidePolicy));
  connect(view_.get(), "create", G_CALLBACK(onCreate));
  connect(view_.get(), "permission-request", G_CALLBACK(onPermission));
  connect(view_.get(), "user-message-received", G_CALLBACK(onUserMessage));
  connect(container_.get(), "map", G_CALLBACK(onMapChanged));
  connect(container_.get(), "unmap", G_CALLBACK(onMapChanged));
  connect(session_, "download-started", G_CALLBACK(onDownloadStarted));
  GNetworkMonitor* monitor = g_network_monitor_get_default();
  connect(monitor, "network-changed", G_CALLBACK(onNetworkChanged));

  Weak weak = weak_from_this();
  appearanceConnection_ = appearance_->environment().systemAppearanceChanged().connect([weak] {
    if (auto self = weak.lock(); self && !self->dismantled_)
      self->appearanceChanged();
  });

  const char* title = webkit_web_view_get_title(view_.get());
  coordinator_->titleChanged(title ? std::optional<std::string>(title) : std::nullopt);
  // GNetworkMonitor reports only changes; the first state is read here.
  coordinator_->networkChanged(g_network_monitor_get_network_available(monitor));
  coordinator_->attach(shared_from_this(), *this);
}

void WorkspaceWebView::Engine::dismantle() {
  if (dismantled_)
    return;
  if (coordinator_)
    coordinator_->dismantle();
  dismantled_ = true;
  g_cancellable_cancel(cancellable_.get());
  appearanceConnection_.disconnect();
  for (auto& [instance, id] : connections_)
    g_signal_handler_disconnect(instance.get(), id);
  connections_.clear();
  // Each download's record cleans up after itself when the engine reports the cancel.
  for (auto& download : std::exchange(downloads_, {}))
    webkit_download_cancel(download.get());
  if (view_) {
    webkit_web_view_stop_loading(view_.get());
    const std::string world(kReadinessWorldName);
    webkit_user_content_manager_unregister_script_message_handler(content_.get(), "orlithSurface",
                                                                  world.c_str());
  }
}

void WorkspaceWebView::Engine::updateHostVisibility() {
  GtkRoot* root = gtk_widget_get_root(container_.get());
  GdkSurface* surface = root ? gtk_native_get_surface(GTK_NATIVE(root)) : nullptr;
  GdkToplevel* toplevel = surface && GDK_IS_TOPLEVEL(surface) ? GDK_TOPLEVEL(surface) : nullptr;
  if (toplevel && toplevel != watchedToplevel_) {
    watchedToplevel_ = toplevel;
    connect(toplevel, "notify::state", G_CALLBACK(onToplevelState));
  }
  const bool minimised =
      toplevel && (gdk_toplevel_get_state(toplevel) & GDK_TOPLEVEL_STATE_MINIMIZED) != 0;
  coordinator_->setHostVisible(gtk_widget_get_mapped(container_.get()) && !minimised);
}

void WorkspaceWebView::Engine::appearanceChanged() {
  const GdkRGBA colour = gdkColour(OrlithPalette::canvas.resolved(appearance_->resolvedIsDark()));
  webkit_web_view_set_background_color(view_.get(), &colour);
  coordinator_->appearanceChanged();
}

void WorkspaceWebView::Engine::print() {
  auto operation = adoptObject(webkit_print_operation_new(view_.get()));
  GtkRoot* root = gtk_widget_get_root(container_.get());
  webkit_print_operation_run_dialog(operation.get(),
                                    GTK_IS_WINDOW(root) ? GTK_WINDOW(root) : nullptr);
}

void WorkspaceWebView::Engine::onLoadChanged(WebKitWebView* view, WebKitLoadEvent event,
                                             gpointer data) {
  auto self = live(data);
  if (!self)
    return;
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      self->navigationFailed_ = false;
      self->coordinator_->navigationStarted(++self->navigation_);
      break;
    case WEBKIT_LOAD_COMMITTED: {
      const char* uri = webkit_web_view_get_uri(view);
      self->coordinator_->navigationCommitted(self->navigation_, uri ? uri : "");
      break;
    }
    case WEBKIT_LOAD_FINISHED:
      // After a failure the engine still reports a finish, for the address before it.
      if (std::exchange(self->navigationFailed_, false))
        break;
      self->coordinator_->navigationFinished(self->navigation_);
      self->loadFinished.emit();
      break;
    case WEBKIT_LOAD_REDIRECTED:
      break;
  }
}

gboolean WorkspaceWebView::Engine::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*,
                                                GError* error, gpointer data) {
  // Handled here either way, so the engine shows no error page of its own.
  auto self = live(data);
  if (!self)
    return TRUE;
  self->navigationFailed_ = true;
  self->coordinator_->navigationFailed(self->navigation_, engineErrorOf(error));
  return TRUE;
}

void WorkspaceWebView::Engine::onTitle(GObject* object, GParamSpec*, gpointer data) {
  auto self = live(data);
  if (!self)
    return;
  const char* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(object));
  self->coordinator_->titleChanged(title ? std::optional<std::string>(title) : std::nullopt);
}

void WorkspaceWebView::Engine::onUri(GObject*, GParamSpec*, gpointer data) {
  if (auto self = live(data))
    self->coordinator_->locationChanged();
}

void WorkspaceWebView::Engine::onHistory(WebKitBackForwardList*, WebKitBackForwardListItem*,
                                         gpointer, gpointer data) {
  if (auto self = live(data))
    self->coordinator_->historyChanged();
}

void WorkspaceWebView::Engine::onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                            gpointer data) {
  if (auto self = live(data))
    self->coordinator_->webProcessTerminated();
}

gboolean WorkspaceWebView::Engine::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                                  WebKitPolicyDecisionType type, gpointer data) {
  auto self = live(data);
  if (!self) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
      WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
          WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      NavigationActionFacts facts;
      facts.uri = requestUri(action);
      facts.type = navigationTypeOf(webkit_navigation_action_get_navigation_type(action));
      facts.isUserGesture = webkit_navigation_action_is_user_gesture(action);
      answer(decision, self->coordinator_->decideAction(facts));
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: {
      WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
          WEBKIT_NAVIGATION_POLICY_DECISION(decision));
      webkit_policy_decision_ignore(decision);
      self->coordinator_->requestNewWindow(requestUri(action));
      return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: {
      auto* responseDecision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
      WebKitURIResponse* response = webkit_response_policy_decision_get_response(responseDecision);
      SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
      NavigationResponseFacts facts;
      const char* uri = webkit_uri_response_get_uri(response);
      facts.uri = uri ? uri : "";
      facts.isHttp = headers != nullptr;
      facts.isMainFrame =
          webkit_response_policy_decision_is_main_frame_main_resource(responseDecision);
      facts.canShowMimeType =
          webkit_response_policy_decision_is_mime_type_supported(responseDecision);
      facts.status = static_cast<int>(webkit_uri_response_get_status_code(response));
      facts.hasWwwAuthenticate =
          headers && soup_message_headers_get_one(headers, "WWW-Authenticate") != nullptr;
      answer(decision, self->coordinator_->decideResponse(facts));
      return TRUE;
    }
  }
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

GtkWidget* WorkspaceWebView::Engine::onCreate(WebKitWebView*, WebKitNavigationAction* action,
                                              gpointer data) {
  if (auto self = live(data))
    self->coordinator_->requestNewWindow(requestUri(action));
  return nullptr;
}

gboolean WorkspaceWebView::Engine::onPermission(WebKitWebView*, WebKitPermissionRequest* request,
                                                gpointer data) {
  // Every request is answered: left alone, each kind would get its own default.
  auto self = live(data);
  bool allowed = false;
  if (self && WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
    allowed = WorkspaceSurfaceCoordinator::allowsMediaCapture(
        webkit_user_media_permission_is_for_audio_device(media),
        webkit_user_media_permission_is_for_video_device(media));
  }
  if (allowed)
    webkit_permission_request_allow(request);
  else
    webkit_permission_request_deny(request);
  return TRUE;
}

gboolean WorkspaceWebView::Engine::onUserMessage(WebKitWebView*, WebKitUserMessage* message,
                                                 gpointer data) {
  if (std::strcmp(webkit_user_message_get_name(message), "orlith") != 0)
    return FALSE;
  auto self = live(data);
  GVariant* parameters = webkit_user_message_get_parameters(message);
  if (!self || !parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ss)")))
    return TRUE;
  const char* frameUri = nullptr;
  const char* json = nullptr;
  g_variant_get(parameters, "(&s&s)", &frameUri, &json);
  if (std::strlen(json) > WorkspaceSurfaceCoordinator::kMaxChannelMessageBytes)
    return TRUE;
  self->messageReceived.emit(json);
  self->coordinator_->channelMessageReceived(frameUri, json);
  return TRUE;
}

void WorkspaceWebView::Engine::onReadinessMessage(WebKitUserContentManager*, JSCValue* value,
                                                  gpointer data) {
  auto self = live(data);
  if (!self)
    return;
  GCharPtr json(jsc_value_to_json(value, 0));
  if (json)
    self->coordinator_->readinessMessageReceived(json.get());
}

void WorkspaceWebView::Engine::onNetworkChanged(GNetworkMonitor*, gboolean available,
                                                gpointer data) {
  if (auto self = live(data))
    self->coordinator_->networkChanged(available);
}

void WorkspaceWebView::Engine::onMapChanged(GtkWidget*, gpointer data) {
  if (auto self = live(data))
    self->updateHostVisibility();
}

void WorkspaceWebView::Engine::onToplevelState(GObject*, GParamSpec*, gpointer data) {
  if (auto self = live(data))
    self->updateHostVisibility();
}

void WorkspaceWebView::Engine::onDownloadStarted(WebKitNetworkSession*, WebKitDownload* download,
                                                 gpointer data) {
  auto self = static_cast<Weak*>(data)->lock();
  if (!self || webkit_download_get_web_view(download) != self->view_.get())
    return;
  WebKitURIRequest* request = webkit_download_get_request(download);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (self->dismantled_ || !uri || !self->coordinator_->admitDownload(uri)) {
    webkit_download_cancel(download);
    return;
  }
  // The handlers hold the record, not the view: it cleans up also after the view is gone.
  auto record =
      std::make_shared<DownloadRecord>(*self->uuids_, self->options_.downloadsFolder, self);
  auto connectRecord = [&](const char* signal, GCallback callback) {
    g_signal_connect_data(
        download, signal, callback, new RecordHandle(record),
        [](gpointer handle, GClosure*) { delete static_cast<RecordHandle*>(handle); },
        GConnectFlags(0));
  };
  connectRecord("decide-destination", G_CALLBACK(onDecideDestination));
  connectRecord("failed", G_CALLBACK(onDownloadFailed));
  connectRecord("finished", G_CALLBACK(onDownloadFinished));
  self->downloads_.push_back(retainObject(download));
}

gboolean WorkspaceWebView::Engine::onDecideDestination(WebKitDownload* download, gchar* suggested,
                                                       gpointer data) {
  auto& record = **static_cast<RecordHandle*>(data);
  try {
    auto payload = record.destination.stage(record.folder, suggested ? suggested : "");
    webkit_download_set_allow_overwrite(download, FALSE);
    webkit_download_set_destination(download, payload.c_str());
  } catch (const std::exception&) {
    // Nowhere to write: the download ends here, and its failure report cleans up.
    webkit_download_cancel(download);
  }
  return TRUE;
}

void WorkspaceWebView::Engine::onDownloadFailed(WebKitDownload*, GError*, gpointer data) {
  auto& record = **static_cast<RecordHandle*>(data);
  record.failed = true;
  record.destination.discard();
}

void WorkspaceWebView::Engine::onDownloadFinished(WebKitDownload* download, gpointer data) {
  auto& record = **static_cast<RecordHandle*>(data);
  if (!record.failed && record.destination.state() == DownloadDestination::State::staged) {
    try {
      auto placed = record.destination.finish();
      GCharPtr uri(g_filename_to_uri(placed.c_str(), nullptr, nullptr));
      if (uri)
        addToRecentFiles(placed, uri.get());
    } catch (const std::exception&) {
      // finish() removed the staging folder; nothing is left to show.
    }
  } else {
    record.destination.discard();
  }
  if (auto owner = record.owner.lock()) {
    std::erase_if(owner->downloads_, [&](const auto& kept) { return kept.get() == download; });
  }
}

WorkspaceWebView::WorkspaceWebView(WorkspaceNetworkSession& session,
                                   std::shared_ptr<WorkspaceModel> model, SurfaceServices services,
                                   SurfaceSession surfaceSession, WorkspaceWebViewOptions options)
    : engine_(std::make_shared<Engine>(session, std::move(model), std::move(options))) {
  WebProcessExtensions::installFromBundle();
  engine_->start(std::move(services), std::move(surfaceSession));
}

WorkspaceWebView::~WorkspaceWebView() {
  engine_->dismantle();
}

GtkWidget* WorkspaceWebView::widget() const {
  return engine_->container();
}

WebKitWebView* WorkspaceWebView::webView() const {
  return engine_->view();
}

WorkspaceSurfaceCoordinator& WorkspaceWebView::coordinator() const {
  return engine_->coordinator();
}

double WorkspaceWebView::zoomLevel() const {
  return engine_->zoomLevel();
}

void WorkspaceWebView::setZoomLevel(double level) {
  engine_->setZoomLevel(level);
}

void WorkspaceWebView::update(SurfaceSession surfaceSession) {
  engine_->coordinator().update(std::move(surfaceSession));
}

void WorkspaceWebView::dismantle() {
  engine_->dismantle();
}

sigc::signal<void(const std::string&)>& WorkspaceWebView::scriptMessageReceived() {
  return engine_->messageReceived;
}

sigc::signal<void()>& WorkspaceWebView::loadFinished() {
  return engine_->loadFinished;
}

std::filesystem::path WorkspaceWebView::userDownloadsFolder() {
  if (const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD))
    return folder;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    return std::filesystem::path(found->pw_dir) / "Downloads";
  return std::filesystem::path("/nonexistent") / "Downloads";
}

}  // namespace orlith
