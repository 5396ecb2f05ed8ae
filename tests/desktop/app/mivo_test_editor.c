/*
 * The real client of the desktop tests: one window with a one-line entry
 * above a multi-line text view, so the tests can type into, read from and
 * write to real GTK widgets through the accessibility bus.
 *
 * Usage: mivo-test-editor [--title TITLE] [--entry TEXT] [--text TEXT]
 *                         [--password TEXT] [--slow-paste MS] [--undo 1]
 * Prints "ready" on standard output once the window is mapped and the text
 * view has the keyboard focus. SIGUSR1 destroys the entry, for tests of
 * elements that go away while their application runs on. --password adds
 * a password entry; --slow-paste keeps the application busy for MS
 * milliseconds before it handles a paste, as a loaded application would.
 * --undo 1 gives the text view the undo history of the GtkSourceView
 * editors (mousepad, gedit): each user action (a paste, a key) is one step,
 * characters typed one after another join into one, every edit made
 * through the accessibility bus is one, and Ctrl+Z takes the last step back.
 */
#include <glib-unix.h>

#include "test_editor_common.h"

/* One edit of the undo history: text inserted at an offset, or deleted
   from it. */
typedef struct {
    gboolean insert;
    gint offset;
    gchar* text;
} Edit;

typedef struct {
    GPtrArray* edits; /* of Edit, in the order they were made */
    gboolean typed;   /* one typed character: joins the typing step before */
} Step;

static GPtrArray* undo_steps = NULL; /* of Step */
static Step* open_step = NULL;       /* the user action under way */
static int user_action_depth = 0;
static gboolean undoing = FALSE;

static void free_edit(gpointer p) {
    Edit* e = p;
    g_free(e->text);
    g_free(e);
}

static void free_step(gpointer p) {
    Step* s = p;
    g_ptr_array_free(s->edits, TRUE);
    g_free(s);
}

static Step* new_step(void) {
    Step* s = g_new0(Step, 1);
    s->edits = g_ptr_array_new_with_free_func(free_edit);
    return s;
}

static void close_step(Step* step) {
    if (step->edits->len == 0) {
        free_step(step);
        return;
    }
    Step* last = undo_steps->len > 0 ? g_ptr_array_index(undo_steps, undo_steps->len - 1) : NULL;
    Edit* first = g_ptr_array_index(step->edits, 0);
    if (step->typed && last != NULL && last->typed) {
        Edit* before = g_ptr_array_index(last->edits, last->edits->len - 1);
        if (before->insert &&
            before->offset + (gint)g_utf8_strlen(before->text, -1) == first->offset) {
            g_ptr_array_add(last->edits, g_ptr_array_steal_index(step->edits, 0));
            free_step(step);
            return;
        }
    }
    g_ptr_array_add(undo_steps, step);
}

static void record(gboolean insert, gint offset, const gchar* text) {
    if (undoing || undo_steps == NULL)
        return;
    Edit* e = g_new0(Edit, 1);
    e->insert = insert;
    e->offset = offset;
    e->text = g_strdup(text);
    if (open_step != NULL) {
        g_ptr_array_add(open_step->edits, e);
        return;
    }
    Step* alone = new_step();
    g_ptr_array_add(alone->edits, e);
    close_step(alone);
}

static void on_insert_text(GtkTextBuffer* buffer, GtkTextIter* at, gchar* text, gint length,
                           gpointer user_data) {
    (void)buffer;
    (void)user_data;
    gchar* copy = g_strndup(text, (gsize)length);
    record(TRUE, gtk_text_iter_get_offset(at), copy);
    g_free(copy);
}

static void on_delete_range(GtkTextBuffer* buffer, GtkTextIter* start, GtkTextIter* end,
                            gpointer user_data) {
    (void)buffer;
    (void)user_data;
    gchar* text = gtk_text_iter_get_text(start, end);
    record(FALSE, gtk_text_iter_get_offset(start), text);
    g_free(text);
}

static void on_begin_user_action(GtkTextBuffer* buffer, gpointer user_data) {
    (void)buffer;
    (void)user_data;
    if (user_action_depth++ == 0 && !undoing)
        open_step = new_step();
}

static void on_end_user_action(GtkTextBuffer* buffer, gpointer user_data) {
    (void)buffer;
    (void)user_data;
    if (--user_action_depth > 0 || open_step == NULL)
        return;
    Step* step = open_step;
    open_step = NULL;
    if (step->edits->len == 1) {
        Edit* e = g_ptr_array_index(step->edits, 0);
        step->typed = e->insert && g_utf8_strlen(e->text, -1) == 1;
    }
    close_step(step);
}

static void undo_last_step(GtkTextBuffer* buffer) {
    if (undo_steps == NULL || undo_steps->len == 0)
        return;
    Step* step = g_ptr_array_steal_index(undo_steps, undo_steps->len - 1);
    undoing = TRUE;
    GtkTextIter at;
    for (guint i = step->edits->len; i-- > 0;) {
        Edit* e = g_ptr_array_index(step->edits, i);
        gtk_text_buffer_get_iter_at_offset(buffer, &at, e->offset);
        if (e->insert) {
            GtkTextIter end = at;
            gtk_text_iter_forward_chars(&end, (gint)g_utf8_strlen(e->text, -1));
            gtk_text_buffer_delete(buffer, &at, &end);
        } else {
            gtk_text_buffer_insert(buffer, &at, e->text, -1);
        }
        gtk_text_buffer_place_cursor(buffer, &at);
    }
    undoing = FALSE;
    free_step(step);
}

static gboolean on_key_press(GtkWidget* view, GdkEventKey* event, gpointer user_data) {
    (void)user_data;
    if (undo_steps == NULL || (event->state & GDK_CONTROL_MASK) == 0 ||
        gdk_keyval_to_lower(event->keyval) != GDK_KEY_z)
        return FALSE;
    undo_last_step(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)));
    return TRUE;
}

static gboolean destroy_entry(gpointer entry) {
    gtk_widget_destroy(GTK_WIDGET(entry));
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    const EditorOptions options = read_editor_options(argc, argv);

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), options.title);
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 400);
    gtk_window_move(GTK_WINDOW(window), 40, 60);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_add(GTK_CONTAINER(window), box);

    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), options.entry_text);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);

    if (options.password_text != NULL) {
        GtkWidget* password = gtk_entry_new();
        gtk_entry_set_visibility(GTK_ENTRY(password), FALSE);
        gtk_entry_set_text(GTK_ENTRY(password), options.password_text);
        gtk_box_pack_start(GTK_BOX(box), password, FALSE, FALSE, 0);
    }

    GtkWidget* view = gtk_text_view_new();
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), options.view_text, -1);
    g_signal_connect(view, "paste-clipboard", G_CALLBACK(on_paste), NULL);
    if (options.keeps_undo) {
        /* The text it starts with is not a step of the history. */
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
        undo_steps = g_ptr_array_new_with_free_func(free_step);
        g_signal_connect(buffer, "insert-text", G_CALLBACK(on_insert_text), NULL);
        g_signal_connect(buffer, "delete-range", G_CALLBACK(on_delete_range), NULL);
        g_signal_connect(buffer, "begin-user-action", G_CALLBACK(on_begin_user_action), NULL);
        g_signal_connect(buffer, "end-user-action", G_CALLBACK(on_end_user_action), NULL);
        g_signal_connect(view, "key-press-event", G_CALLBACK(on_key_press), NULL);
    }
    gtk_box_pack_start(GTK_BOX(box), view, TRUE, TRUE, 0);

    g_signal_connect(window, "map", G_CALLBACK(on_map), view);
    g_unix_signal_add(SIGUSR1, destroy_entry, entry);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
