/* Reads a recently-used.xbel with GLib's own parser, the one every GTK
 * application uses, and prints one line per entry:
 *   URI <tab> title <tab> groups (comma-separated) <tab> applications (name:count, comma-separated) <tab> MIME type
 * Exits 1 with GLib's message when the file does not load. */
#include <glib.h>
#include <stdio.h>

static void print_joined(gchar** items) {
    for (gsize i = 0; items != NULL && items[i] != NULL; ++i) printf("%s%s", i ? "," : "", items[i]);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: xbel_glib_reader FILE\n");
        return 2;
    }
    GBookmarkFile* bookmarks = g_bookmark_file_new();
    GError* error = NULL;
    if (!g_bookmark_file_load_from_file(bookmarks, argv[1], &error)) {
        fprintf(stderr, "%s\n", error->message);
        return 1;
    }
    gsize count = 0;
    gchar** uris = g_bookmark_file_get_uris(bookmarks, &count);
    for (gsize i = 0; i < count; ++i) {
        gchar* title = g_bookmark_file_get_title(bookmarks, uris[i], NULL);
        gchar** groups = g_bookmark_file_get_groups(bookmarks, uris[i], NULL, NULL);
        gchar** applications = g_bookmark_file_get_applications(bookmarks, uris[i], NULL, NULL);
        gchar* mime = g_bookmark_file_get_mime_type(bookmarks, uris[i], NULL);
        printf("%s\t%s\t", uris[i], title ? title : "");
        print_joined(groups);
        printf("\t");
        for (gsize a = 0; applications != NULL && applications[a] != NULL; ++a) {
            guint registered = 0;
            g_bookmark_file_get_application_info(bookmarks, uris[i], applications[a], NULL, &registered, NULL, NULL);
            printf("%s%s:%u", a ? "," : "", applications[a], registered);
        }
        printf("\t%s\n", mime ? mime : "");
        g_free(title);
        g_strfreev(groups);
        g_strfreev(applications);
        g_free(mime);
    }
    g_strfreev(uris);
    g_bookmark_file_free(bookmarks);
    return 0;
}
