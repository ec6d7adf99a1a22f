// Web-process extension: gives the main frame's page world, and no other frame, the bridge
// handler window.webkit.messageHandlers.orlith. Each post reaches the app as the user message
// "orlith" (frame address at the time of the post, JSON of the posted value).
#include <webkit/webkit-web-process-extension.h>

#include <cstring>

namespace {

constexpr gsize kMaxMessageBytes = 1024 * 1024;

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

void windowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                         gpointer) {
  if (!webkit_frame_is_main_frame(frame))
    return;
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
