// Constructs the tab's WebKitWebView and translates its signals; it decides nothing itself.
#include "workspace/surface/gtk/WorkspaceWebView.h"

namespace orlith {

WorkspaceWebView::WorkspaceWebView(WorkspaceNetworkSession& session)
    : contentManager_(adoptObject(webkit_user_content_manager_new())) {
  webkit_user_content_manager_register_script_message_handler(contentManager_.get(), "orlith",
                                                              nullptr);
  g_signal_connect(contentManager_.get(), "script-message-received::orlith",
                   G_CALLBACK(&WorkspaceWebView::onScriptMessage), this);

  webView_ = retainObject(
      WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session.get(),
                                   "user-content-manager", contentManager_.get(), nullptr)));
  g_signal_connect(webView_.get(), "load-changed", G_CALLBACK(&WorkspaceWebView::onLoadChanged),
                   this);
}

WorkspaceWebView::~WorkspaceWebView() {
  g_signal_handlers_disconnect_by_data(contentManager_.get(), this);
  g_signal_handlers_disconnect_by_data(webView_.get(), this);
  webkit_user_content_manager_unregister_script_message_handler(contentManager_.get(), "orlith",
                                                                nullptr);
}

void WorkspaceWebView::load(const std::string& url) {
  webkit_web_view_load_uri(webView_.get(), url.c_str());
}

void WorkspaceWebView::onScriptMessage(WebKitUserContentManager*, JSCValue* value, gpointer self) {
  GCharPtr json(jsc_value_to_json(value, 0));
  static_cast<WorkspaceWebView*>(self)->messageReceived_.emit(json ? json.get() : "null");
}

void WorkspaceWebView::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  if (event == WEBKIT_LOAD_FINISHED)
    static_cast<WorkspaceWebView*>(self)->loadFinished_.emit();
}

}  // namespace orlith
