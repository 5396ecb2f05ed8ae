/*
 * The real client of the desktop tests: one window with a one-line entry
 * above a multi-line text view, so the tests can type into, read from and
 * write to real GTK widgets through the accessibility bus.
 *
 * Usage: mivo-test-editor [--title TITLE] [--entry TEXT] [--text TEXT]
 *                         [--password TEXT] [--slow-paste MS]
 * Prints "ready" on standard output once the window is mapped and the text
 * view has the keyboard focus. SIGUSR1 destroys the entry, for tests of
 * elements that go away while their application runs on. --password adds
 * a password entry; --slow-paste keeps the application busy for MS
 * milliseconds before it handles a paste, as a loaded application would.
 */
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static gboolean announce_ready(gpointer user_data) {
    (void)user_data;
    printf("ready\n");
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static void on_map(GtkWidget* window, gpointer text_view) {
    (void)window;
    gtk_widget_grab_focus(GTK_WIDGET(text_view));
    /* Let the focus and the accessibility tree settle before the test
       starts looking. */
    g_timeout_add(200, announce_ready, NULL);
}

static int slow_paste_ms = 0;

static void on_paste(GtkWidget* widget, gpointer user_data) {
    (void)widget;
    (void)user_data;
    if (slow_paste_ms > 0)
        g_usleep((gulong)slow_paste_ms * 1000);
}

static gboolean destroy_entry(gpointer entry) {
    gtk_widget_destroy(GTK_WIDGET(entry));
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
    const char* title = "Mivo test editor";
    const char* entry_text = "";
    const char* view_text = "";
    const char* password_text = NULL;
    gtk_init(&argc, &argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--title") == 0)
            title = argv[i + 1];
        else if (strcmp(argv[i], "--entry") == 0)
            entry_text = argv[i + 1];
        else if (strcmp(argv[i], "--text") == 0)
            view_text = argv[i + 1];
        else if (strcmp(argv[i], "--password") == 0)
            password_text = argv[i + 1];
        else if (strcmp(argv[i], "--slow-paste") == 0)
            slow_paste_ms = atoi(argv[i + 1]);
    }

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 400);
    gtk_window_move(GTK_WINDOW(window), 40, 60);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_add(GTK_CONTAINER(window), box);

    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), entry_text);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);

    if (password_text != NULL) {
        GtkWidget* password = gtk_entry_new();
        gtk_entry_set_visibility(GTK_ENTRY(password), FALSE);
        gtk_entry_set_text(GTK_ENTRY(password), password_text);
        gtk_box_pack_start(GTK_BOX(box), password, FALSE, FALSE, 0);
    }

    GtkWidget* view = gtk_text_view_new();
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), view_text, -1);
    g_signal_connect(view, "paste-clipboard", G_CALLBACK(on_paste), NULL);
    gtk_box_pack_start(GTK_BOX(box), view, TRUE, TRUE, 0);

    g_signal_connect(window, "map", G_CALLBACK(on_map), view);
    g_unix_signal_add(SIGUSR1, destroy_entry, entry);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
