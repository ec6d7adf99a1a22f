// Web-process extension: gives the main frame's page world, and no other frame, the bridge
// handler window.webkit.messageHandlers.orlith. Each post reaches the app as the user message
// "orlith" (frame address at the time of the post, JSON of the posted value). The engine tells
// the app of dialogs, printing, capture requests and link navigations without naming their frame;
// here the frame is known, so every other frame gets inert dialogs, printing and capture, and the
// main frame reports the links it activates ("orlith:activation") before the engine asks.
#include <webkit/webkit-web-process-extension.h>

#include <cstring>

namespace {

constexpr gsize kMaxMessageBytes = 1024 * 1024;
constexpr gsize kMaxActivationBytes = 64 * 1024;

// Run in a frame's page world before any of its scripts: the replacements cannot be undone or
// reached around, also not through a nested frame (which gets its own).
constexpr const char* kInertFrameScript = R"js((() => {
  const lock = (owner, name, value) => {
    if (!owner) return;
    try {
      Object.defineProperty(owner, name, { value: value, writable: false, configurable: false, enumerable: true });
    } catch (error) {}
  };
  lock(window, 'alert', function alert() {});
  lock(window, 'confirm', function confirm() { return false; });
  lock(window, 'prompt', function prompt() { return null; });
  lock(window, 'print', function print() {});
  const refuse = function getUserMedia() {
    return Promise.reject(new DOMException('Capture is not allowed in a frame.', 'NotAllowedError'));
  };
  if (window.MediaDevices) {
    lock(MediaDevices.prototype, 'getUserMedia', refuse);
    lock(MediaDevices.prototype, 'getDisplayMedia', refuse);
  }
  if (window.Navigator && 'getUserMedia' in Navigator.prototype) {
    lock(Navigator.prototype, 'getUserMedia', function getUserMedia(constraints, success, failure) {
      if (typeof failure === 'function') failure(new DOMException('Not allowed.', 'NotAllowedError'));
    });
  }
})();)js";

// Run in the extension's own world of the main frame: listens before the page can, and the page
// cannot reach the listener.
constexpr const char* kActivationScript = R"js((report) => {
  window.addEventListener('click', (event) => {
    try {
      if (event.button !== 0) return;
      const path = event.composedPath ? event.composedPath() : [event.target];
      const link = path.find((node) => node && (node.localName === 'a' || node.localName === 'area') &&
                                       node.hasAttribute && node.hasAttribute('href'));
      if (!link) return;
      report(String(link.href), link.getAttribute('target') || '', link.hasAttribute('download'),
             event.isTrusted === true);
    } catch (error) {}
  }, true);
})js";

// The frame and page the handler belongs to, both held weakly: a handler kept by the page's
// script may outlive either.
struct HandlerTarget {
  GWeakRef page;
  GWeakRef frame;
};

void freeTarget(gpointer data) {
  auto* target = static_cast<HandlerTarget*>(data);
  g_weak_ref_clear(&target->page);
  g_weak_ref_clear(&target->frame);
  delete target;
}

void postMessage(JSCValue* value, gpointer data) {
  auto* target = static_cast<HandlerTarget*>(data);
  auto* page = static_cast<WebKitWebPage*>(g_weak_ref_get(&target->page));
  auto* frame = static_cast<WebKitFrame*>(g_weak_ref_get(&target->frame));
  char* json = value ? jsc_value_to_json(value, 0) : nullptr;
  if (page && frame && json && std::strlen(json) <= kMaxMessageBytes) {
    const char* uri = webkit_frame_get_uri(frame);
    WebKitUserMessage* message =
        webkit_user_message_new("orlith", g_variant_new("(ss)", uri ? uri : "", json));
    webkit_web_page_send_message_to_view(page, message, nullptr, nullptr, nullptr);
  }
  g_free(json);
  if (frame)
    g_object_unref(frame);
  if (page)
    g_object_unref(page);
}

// The object at `name` of `owner`, made when it is missing or not an object.
JSCValue* objectProperty(JSCContext* context, JSCValue* owner, const char* name) {
  JSCValue* value = jsc_value_object_get_property(owner, name);
  if (value && jsc_value_is_object(value))
    return value;
  if (value)
    g_object_unref(value);
  value = jsc_value_new_object(context, nullptr, nullptr);
  jsc_value_object_set_property(owner, name, value);
  return value;
}

void reportActivation(const char* uri, const char* target, gboolean download, gboolean trusted,
                      gpointer data) {
  auto* target_ = static_cast<HandlerTarget*>(data);
  auto* page = static_cast<WebKitWebPage*>(g_weak_ref_get(&target_->page));
  auto* frame = static_cast<WebKitFrame*>(g_weak_ref_get(&target_->frame));
  if (page && frame && uri && target &&
      std::strlen(uri) + std::strlen(target) <= kMaxActivationBytes) {
    const char* frameUri = webkit_frame_get_uri(frame);
    WebKitUserMessage* message = webkit_user_message_new(
        "orlith:activation",
        g_variant_new("(sssbb)", frameUri ? frameUri : "", uri, target, download, trusted));
    webkit_web_page_send_message_to_view(page, message, nullptr, nullptr, nullptr);
  }
  if (frame)
    g_object_unref(frame);
  if (page)
    g_object_unref(page);
}

WebKitScriptWorld* factsWorld() {
  static WebKitScriptWorld* world = webkit_script_world_new_with_name("OrlithFrameFacts");
  return world;
}

void makeFrameInert(WebKitFrame* frame, WebKitScriptWorld* world) {
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
  JSCValue* result = jsc_context_evaluate(context, kInertFrameScript, -1);
  if (result)
    g_object_unref(result);
  g_object_unref(context);
}

void reportMainFrameActivations(WebKitWebPage* page, WebKitFrame* frame) {
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, factsWorld());
  JSCValue* install = jsc_context_evaluate(context, kActivationScript, -1);
  if (install && jsc_value_is_function(install)) {
    auto* target = new HandlerTarget;
    g_weak_ref_init(&target->page, page);
    g_weak_ref_init(&target->frame, frame);
    JSCValue* report = jsc_value_new_function(context, "report", G_CALLBACK(reportActivation),
                                              target, freeTarget, G_TYPE_NONE, 4, G_TYPE_STRING,
                                              G_TYPE_STRING, G_TYPE_BOOLEAN, G_TYPE_BOOLEAN);
    JSCValue* done = jsc_value_function_call(install, JSC_TYPE_VALUE, report, G_TYPE_NONE);
    if (done)
      g_object_unref(done);
    g_object_unref(report);
  }
  if (install)
    g_object_unref(install);
  g_object_unref(context);
}

void windowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                         gpointer) {
  if (!webkit_frame_is_main_frame(frame)) {
    makeFrameInert(frame, world);
    return;
  }
  reportMainFrameActivations(page, frame);
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
  JSCValue* window = jsc_context_get_global_object(context);
  JSCValue* webkit = objectProperty(context, window, "webkit");
  JSCValue* handlers = objectProperty(context, webkit, "messageHandlers");
  JSCValue* handler = jsc_value_new_object(context, nullptr, nullptr);

  auto* target = new HandlerTarget;
  g_weak_ref_init(&target->page, page);
  g_weak_ref_init(&target->frame, frame);
  JSCValue* post = jsc_value_new_function(context, "postMessage", G_CALLBACK(postMessage), target,
                                          freeTarget, G_TYPE_NONE, 1, JSC_TYPE_VALUE);
  jsc_value_object_set_property(handler, "postMessage", post);
  jsc_value_object_set_property(handlers, "orlith", handler);

  g_object_unref(post);
  g_object_unref(handler);
  g_object_unref(handlers);
  g_object_unref(webkit);
  g_object_unref(window);
  g_object_unref(context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_process_extension_initialize(
    WebKitWebProcessExtension*) {
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(windowObjectCleared), nullptr);
}
