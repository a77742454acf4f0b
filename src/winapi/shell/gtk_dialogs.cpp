// GTK's native file chooser for the dialog stand-in: the one place of the stand-in that uses GTK.
// GTK lives on a thread of its own, started at the first dialog; each dialog is carried there.
// The program does not link GTK: its library and the thirty it brings (some 4 MB mapped and
// relocated) are opened by that thread, so a game that shows no file dialog never maps them.
#include <dlfcn.h>
#include <gtk/gtk.h>

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "winapi/shell/dialog_backend.h"

// LeakSanitizer's switch, when the program runs under it: GTK keeps allocations for the life of
// the process (type system, theme, fonts), which are not ours to free.
extern "C" void __lsan_disable() __attribute__((weak));

namespace winapi::shell {

namespace {

// Every GTK and GLib call used, one list: it makes the table's members and the names looked up.
#define TESSARO_GTK_CALLS(X)                                                                                   \
    X(g_free) X(g_idle_add) X(g_object_unref) X(gtk_file_chooser_add_filter) X(gtk_file_chooser_get_filename) \
    X(gtk_file_chooser_get_filter) X(gtk_file_chooser_native_new) X(gtk_file_chooser_set_current_folder)      \
    X(gtk_file_chooser_set_current_name) X(gtk_file_chooser_set_do_overwrite_confirmation)                    \
    X(gtk_file_chooser_set_filter) X(gtk_file_filter_add_pattern) X(gtk_file_filter_new)                      \
    X(gtk_file_filter_set_name) X(gtk_init_check) X(gtk_native_dialog_hide) X(gtk_native_dialog_run)

struct GtkCalls {
#define TESSARO_GTK_MEMBER(name) decltype(&::name) name = nullptr;
    TESSARO_GTK_CALLS(TESSARO_GTK_MEMBER)
#undef TESSARO_GTK_MEMBER
};

// Opens GTK (the major version of the headers) → false when it or a call is missing.
static_assert(GTK_MAJOR_VERSION == 3);
bool LoadGtk(GtkCalls* calls)
{
    // Local: GTK's names stay out of the program's own lookups; its dependencies answer through it.
    void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return false;
    bool complete = true;
#define TESSARO_GTK_FIND(name)                                                    \
    calls->name = reinterpret_cast<decltype(calls->name)>(dlsym(library, #name)); \
    complete = complete && calls->name != nullptr;
    TESSARO_GTK_CALLS(TESSARO_GTK_FIND)
#undef TESSARO_GTK_FIND
    return complete;
}

// Set by the GTK thread once GTK has started; read by the cancel from any thread.
std::atomic<const GtkCalls*> g_gtk{nullptr};

struct Job {
    const DialogRequest* request;
    DialogAnswer* answer;
    bool started = false;  // false when GTK could not start
    bool done = false;
};

struct GtkThread {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job*> jobs;
    bool running = false;
};

GtkThread& Gtk()
{
    static auto* gtk = new GtkThread;
    return *gtk;
}

GtkNativeDialog* g_openDialog = nullptr;  // on the GTK thread only

// "*.txt" → "*.[tT][xX][tT]": GTK's patterns match case.
std::string CaseInsensitive(const std::string& pattern)
{
    std::string out;
    for (char c : pattern) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalpha(u) && u < 0x80) {
            out += '[';
            out += static_cast<char>(std::tolower(u));
            out += static_cast<char>(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

void Run(const GtkCalls& gtk, const DialogRequest& request, DialogAnswer* answer)
{
    static const GtkFileChooserAction kActions[] = {GTK_FILE_CHOOSER_ACTION_OPEN, GTK_FILE_CHOOSER_ACTION_SAVE,
                                                    GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER};
    GtkFileChooserNative* native = gtk.gtk_file_chooser_native_new(request.titleUtf8.c_str(), nullptr,
                                                                   kActions[request.kind], nullptr, nullptr);
    GtkFileChooser* chooser = reinterpret_cast<GtkFileChooser*>(native);
    std::vector<GtkFileFilter*> filters;
    for (const DialogFilter& filter : request.filters) {
        GtkFileFilter* gtkFilter = gtk.gtk_file_filter_new();
        gtk.gtk_file_filter_set_name(gtkFilter, filter.nameUtf8.c_str());
        for (const std::string& pattern : filter.patterns)
            gtk.gtk_file_filter_add_pattern(gtkFilter, CaseInsensitive(pattern).c_str());
        gtk.gtk_file_chooser_add_filter(chooser, gtkFilter);
        filters.push_back(gtkFilter);
    }
    if (request.filterIndex >= 0 && static_cast<size_t>(request.filterIndex) < filters.size())
        gtk.gtk_file_chooser_set_filter(chooser, filters[static_cast<size_t>(request.filterIndex)]);
    if (!request.folderLinux.empty())
        gtk.gtk_file_chooser_set_current_folder(chooser, request.folderLinux.c_str());
    if (request.kind == DialogRequest::Save) {
        gtk.gtk_file_chooser_set_do_overwrite_confirmation(chooser, request.overwritePrompt);
        if (!request.nameUtf8.empty())
            gtk.gtk_file_chooser_set_current_name(chooser, request.nameUtf8.c_str());
    }
    g_openDialog = reinterpret_cast<GtkNativeDialog*>(native);
    const gint response = gtk.gtk_native_dialog_run(reinterpret_cast<GtkNativeDialog*>(native));
    g_openDialog = nullptr;
    answer->result = DialogAnswer::Cancelled;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (gchar* file = gtk.gtk_file_chooser_get_filename(chooser)) {
            answer->result = DialogAnswer::Chosen;
            answer->pathLinux = file;
            gtk.g_free(file);
        }
        GtkFileFilter* chosen = gtk.gtk_file_chooser_get_filter(chooser);
        for (size_t i = 0; i < filters.size(); ++i)
            if (filters[i] == chosen)
                answer->filterIndex = static_cast<int>(i);
    }
    gtk.g_object_unref(native);
}

void Main()
{
    if (__lsan_disable != nullptr)
        __lsan_disable();
    static GtkCalls calls;
    const bool started = LoadGtk(&calls) && calls.gtk_init_check(nullptr, nullptr) != FALSE;
    if (started)
        g_gtk = &calls;
    GtkThread& gtk = Gtk();
    for (;;) {
        Job* job;
        {
            std::unique_lock lock(gtk.mutex);
            gtk.changed.wait(lock, [&] { return !gtk.jobs.empty(); });
            job = gtk.jobs.front();
            gtk.jobs.pop_front();
        }
        if (started)
            Run(calls, *job->request, job->answer);
        std::lock_guard lock(gtk.mutex);
        job->started = started;
        job->done = true;
        gtk.changed.notify_all();
    }
}

} // namespace

bool RunGtkDialog(const DialogRequest& request, DialogAnswer* answer)
{
    GtkThread& gtk = Gtk();
    Job job{&request, answer};
    std::unique_lock lock(gtk.mutex);
    if (!gtk.running) {
        gtk.running = true;
        std::thread(Main).detach();
    }
    gtk.jobs.push_back(&job);
    gtk.changed.notify_all();
    gtk.changed.wait(lock, [&] { return job.done; });
    return job.started;
}

void CancelGtkDialog()
{
    // Before GTK has started no dialog is open.
    const GtkCalls* gtk = g_gtk;
    if (gtk == nullptr)
        return;
    gtk->g_idle_add(
        [](gpointer) -> gboolean {
            if (g_openDialog != nullptr)
                g_gtk.load()->gtk_native_dialog_hide(g_openDialog);
            return FALSE;
        },
        nullptr);
}

} // namespace winapi::shell
