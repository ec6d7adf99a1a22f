// One workspace tab's web view on WebKitGTK: the shared network session, the "orlith" message
// handler, and the load and message events its owner observes.
#pragma once

#include <gtk/gtk.h>
#include <sigc++/sigc++.h>
#include <webkit/webkit.h>

#include <string>

#include "platform/glib/GObjectPtr.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

namespace orlith {

class WorkspaceWebView {
 public:
  explicit WorkspaceWebView(WorkspaceNetworkSession& session);
  ~WorkspaceWebView();
  WorkspaceWebView(const WorkspaceWebView&) = delete;
  WorkspaceWebView& operator=(const WorkspaceWebView&) = delete;

  GtkWidget* widget() const { return GTK_WIDGET(webView_.get()); }
  WebKitWebView* webView() const { return webView_.get(); }

  void load(const std::string& url);

  // The JSON text of each message a page posts to the "orlith" handler.
  sigc::signal<void(const std::string&)>& scriptMessageReceived() { return messageReceived_; }
  sigc::signal<void()>& loadFinished() { return loadFinished_; }

 private:
  static void onScriptMessage(WebKitUserContentManager*, JSCValue* value, gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);

  GObjectPtr<WebKitUserContentManager> contentManager_;
  GObjectPtr<WebKitWebView> webView_;
  sigc::signal<void(const std::string&)> messageReceived_;
  sigc::signal<void()> loadFinished_;
};

}  // namespace orlith
