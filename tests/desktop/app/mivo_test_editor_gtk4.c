/*
 * The GTK 4 client of the desktop tests: a one-line entry, a password entry
 * (only with --password) and a multi-line text view, like the GTK 3 editor.
 *
 * Usage: mivo-test-editor-gtk4 [--title T] [--entry T] [--text T]
 *                              [--password T] [--slow-paste MS]
 * Prints "ready" once the window is mapped and the text view has the
 * keyboard focus. --slow-paste keeps the application busy for MS
 * milliseconds before it handles a paste, as a loaded application would.
 */
#include "test_editor_common.h"

static void on_quit(GtkWidget* window, gpointer loop) {
    (void)window;
    g_main_loop_quit(loop);
}

int main(int argc, char** argv) {
    gtk_init();
    const EditorOptions options = read_editor_options(argc, argv);
    GMainLoop* loop = g_main_loop_new(NULL, FALSE);

    GtkWidget* window = gtk_window_new();
    gtk_window_set_title(GTK_WINDOW(window), options.title);
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 400);
    g_signal_connect(window, "destroy", G_CALLBACK(on_quit), loop);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_window_set_child(GTK_WINDOW(window), box);

    GtkWidget* entry = gtk_entry_new();
    gtk_editable_set_text(GTK_EDITABLE(entry), options.entry_text);
    gtk_box_append(GTK_BOX(box), entry);

    if (options.password_text != NULL) {
        GtkWidget* password = gtk_password_entry_new();
        gtk_editable_set_text(GTK_EDITABLE(password), options.password_text);
        gtk_box_append(GTK_BOX(box), password);
    }

    GtkWidget* view = gtk_text_view_new();
    gtk_widget_set_vexpand(view, TRUE);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), options.view_text, -1);
    g_signal_connect(view, "paste-clipboard", G_CALLBACK(on_paste), NULL);
    gtk_box_append(GTK_BOX(box), view);

    g_signal_connect(window, "map", G_CALLBACK(on_map), view);
    gtk_window_present(GTK_WINDOW(window));
    g_main_loop_run(loop);
    return 0;
}
