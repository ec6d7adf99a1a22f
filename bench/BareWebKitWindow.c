/* The baseline of the cold-start benchmark: a bare WebKitGTK window of the app's default size
 * that loads one address, trusting the build's development certificate for 127.0.0.1 and
 * localhost as the app does. Usage: bare-webkit-window <certificate.pem> <address> */
#include <gtk/gtk.h>
#include <webkit/webkit.h>

static void activate(GtkApplication* application, gpointer data) {
  char** argv = data;
  GError* error = NULL;
  GTlsCertificate* certificate = g_tls_certificate_new_from_file(argv[1], &error);
  if (!certificate) {
    g_printerr("cannot read %s: %s\n", argv[1], error->message);
    g_error_free(error);
    g_application_quit(G_APPLICATION(application));
    return;
  }
  WebKitNetworkSession* session = webkit_network_session_new_ephemeral();
  webkit_network_session_allow_tls_certificate_for_host(session, certificate, "127.0.0.1");
  webkit_network_session_allow_tls_certificate_for_host(session, certificate, "localhost");
  g_object_unref(certificate);
  GtkWidget* view = g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, NULL);
  g_object_unref(session);
  GtkWidget* window = gtk_application_window_new(application);
  gtk_window_set_default_size(GTK_WINDOW(window), 1180, 780);
  gtk_window_set_child(GTK_WINDOW(window), view);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[2]);
  gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv) {
  if (argc != 3) {
    g_printerr("usage: %s <certificate.pem> <address>\n", argv[0]);
    return 2;
  }
  GtkApplication* application =
      gtk_application_new("org.orlith.bench.BareWindow", G_APPLICATION_NON_UNIQUE);
  g_signal_connect(application, "activate", G_CALLBACK(activate), argv);
  int status = g_application_run(G_APPLICATION(application), 1, argv);
  g_object_unref(application);
  return status;
}
