// The lock files of named mutexes: a private folder made 0700, files that go with their last
// holder, and the attacks of another local user on the shared temporary folder (a folder made
// before us, one open to others, links planted for the folder or its files), each of which must
// neither stop the game from starting nor make the engine create a file where a link points.
// Run as root, the attacker is a second uid; otherwise its files are made beforehand by us.
#include "winapi/kernel_sync.h"
#include "winapi/mutex_lock_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUid = 65534;

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// A shared temporary folder of our own (mode 1777 like /tmp) named by TMPDIR, with
// XDG_RUNTIME_DIR unset, for the length of a test.
class Sandbox {
public:
    Sandbox()
    {
        char pattern[] = "/tmp/tessaro-locks-XXXXXX";
        root_ = mkdtemp(pattern);
        chmod(root_.c_str(), 0755); // the second uid must reach the shared folder
        shared_ = root_ + "/tmp";
        mkdir(shared_.c_str(), 0700);
        chmod(shared_.c_str(), 01777);
        SaveAndSet("TMPDIR", shared_.c_str());
        SaveAndSet("XDG_RUNTIME_DIR", nullptr);
    }
    ~Sandbox()
    {
        for (auto& [name, value] : saved_) {
            if (value.second)
                setenv(name.c_str(), value.first.c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const std::string& Root() const { return root_; }
    std::string Folder() const { return shared_ + "/tessaro-" + std::to_string(geteuid()); }

private:
    void SaveAndSet(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        saved_.push_back({name, {old ? old : "", old != nullptr}});
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    std::string root_, shared_;
    std::vector<std::pair<std::string, std::pair<std::string, bool>>> saved_;
};

// What the attacker does, in order, before the engine runs.
struct Step {
    enum Kind { MakeFolder, MakeLink, MakeAndLockFile } kind;
    std::string path;
    std::string target; // MakeLink
    mode_t mode = 0;    // MakeFolder
};

// A process that carries out the steps, as the second uid when we are root, and then stays (its
// locks held) until Finish.
class Attacker {
public:
    explicit Attacker(const std::vector<Step>& steps)
    {
        int ready[2], hold[2];
        if (pipe(ready) != 0 || pipe(hold) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(hold[1]);
            if (geteuid() == 0 && (setgid(kOtherUid) != 0 || setuid(kOtherUid) != 0))
                _exit(3);
            for (const Step& step : steps) {
                bool ok = true;
                if (step.kind == Step::MakeFolder) {
                    ok = mkdir(step.path.c_str(), 0700) == 0 && chmod(step.path.c_str(), step.mode) == 0;
                } else if (step.kind == Step::MakeLink) {
                    ok = symlink(step.target.c_str(), step.path.c_str()) == 0;
                } else {
                    const int fd = open(step.path.c_str(), O_RDWR | O_CREAT, 0644);
                    struct flock range {};
                    range.l_type = F_WRLCK;
                    range.l_whence = SEEK_SET;
                    ok = fd >= 0 && fcntl(fd, F_OFD_SETLK, &range) == 0;
                }
                if (!ok)
                    _exit(4);
            }
            char byte = 1;
            if (write(ready[1], &byte, 1) != 1)
                _exit(5);
            while (read(hold[0], &byte, 1) > 0) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(hold[0]);
        hold_ = hold[1];
        char byte = 0;
        ready_ = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~Attacker() { Finish(); }
    bool Ready() const { return ready_; }
    void Finish()
    {
        if (hold_ >= 0)
            close(hold_);
        hold_ = -1;
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int hold_ = -1;
    bool ready_ = false;
};

std::string MutexName(const char* base)
{
    return std::string(base) + "-" + std::to_string(getpid());
}

} // namespace

TEST(MutexLockFiles, PrivateFolderHoldsTheFilesUntilTheLastHolderCloses)
{
    Sandbox sandbox;
    const std::string name = MutexName("Tessaro Lock Test");
    ASSERT_EQ(winapi::MutexLockFolder(), sandbox.Folder());
    const std::string lock = sandbox.Folder() + "/" + winapi::MutexLockFileName(name, false);
    const std::string owner = sandbox.Folder() + "/" + winapi::MutexLockFileName(name, true);

    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    struct stat st {};
    ASSERT_EQ(lstat(sandbox.Folder().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(Exists(lock));
    EXPECT_TRUE(Exists(owner));

    HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(first);
    EXPECT_TRUE(Exists(lock)); // still held by the second handle
    CloseHandle(second);
    EXPECT_FALSE(Exists(lock));
    EXPECT_FALSE(Exists(owner));
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);

    // Files left by a process that died hold no lock: the mutex does not exist, and the next
    // creator takes them and removes them at its close.
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    HANDLE again = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(again);
    EXPECT_FALSE(Exists(lock));
}

TEST(MutexLockFiles, AttacksOnTheSharedFolderNeitherStopTheGameNorFollowLinks)
{
    const bool root = geteuid() == 0;
    struct Case {
        const char* what;
        bool rootOnly;
        // Steps of the attacker and of us beforehand, given the folder, a file of the mutex and
        // a place a link may point to.
        std::vector<Step> (*attacker)(const std::string& folder, const std::string& lock, const std::string& bait);
        std::vector<Step> (*ours)(const std::string& folder, const std::string& lock, const std::string& bait);
    };
    using S = std::vector<Step>;
    const Case cases[] = {
        {"another user's folder, holding the lock in it", true,
         [](const std::string& folder, const std::string& lock, const std::string&) {
             return S{{Step::MakeFolder, folder, "", 0700}, {Step::MakeAndLockFile, lock, "", 0}};
         },
         nullptr},
        {"a folder open to everybody, holding the lock in it", false,
         [](const std::string& folder, const std::string& lock, const std::string&) {
             return S{{Step::MakeFolder, folder, "", 0777}, {Step::MakeAndLockFile, lock, "", 0}};
         },
         nullptr},
        {"a folder open to everybody with a link for the lock file", false,
         [](const std::string& folder, const std::string& lock, const std::string& bait) {
             return S{{Step::MakeFolder, folder, "", 0777}, {Step::MakeLink, lock, bait + "/planted", 0}};
         },
         nullptr},
        {"the folder is a link", false,
         [](const std::string& folder, const std::string&, const std::string& bait) {
             return S{{Step::MakeLink, folder, bait, 0}};
         },
         nullptr},
        {"our own folder with a link for the lock file", false, nullptr,
         [](const std::string& folder, const std::string& lock, const std::string& bait) {
             return S{{Step::MakeFolder, folder, "", 0700}, {Step::MakeLink, lock, bait + "/planted", 0}};
         }},
        {"our own folder with a link for the owner file", false, nullptr,
         [](const std::string& folder, const std::string& lock, const std::string& bait) {
             const std::string owner = lock.substr(0, lock.size() - 5) + ".owner";
             return S{{Step::MakeFolder, folder, "", 0700}, {Step::MakeLink, owner, bait + "/planted", 0}};
         }},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.rootOnly && !root)
            continue; // a folder of another user can only be made by another user
        Sandbox sandbox;
        const std::string name = MutexName("Tessaro Attack") + "-" + std::to_string(index++);
        const std::string lock = sandbox.Folder() + "/" + winapi::MutexLockFileName(name, false);
        const std::string bait = sandbox.Root() + "/bait";
        ASSERT_EQ(mkdir(bait.c_str(), 0777), 0);
        chmod(bait.c_str(), 0777);

        std::vector<Step> steps = c.attacker ? c.attacker(sandbox.Folder(), lock, bait) : std::vector<Step>{};
        Attacker attacker(steps);
        ASSERT_TRUE(attacker.Ready());
        if (c.ours) {
            for (const Step& step : c.ours(sandbox.Folder(), lock, bait)) {
                if (step.kind == Step::MakeFolder)
                    ASSERT_EQ(mkdir(step.path.c_str(), step.mode), 0);
                else
                    ASSERT_EQ(symlink(step.target.c_str(), step.path.c_str()), 0);
            }
        }
        std::vector<std::string> before;
        for (const auto& entry : fs::directory_iterator(bait))
            before.push_back(entry.path().string());

        testing::internal::CaptureStderr();
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
        const DWORD error = GetLastError();
        HANDLE again = CreateMutexA(nullptr, FALSE, name.c_str());
        const DWORD againError = GetLastError();
        const std::string said = testing::internal::GetCapturedStderr();

        ASSERT_NE(mutex, nullptr);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << "the game would not start";
        EXPECT_EQ(againError, static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "the mutex still works in the process";
        EXPECT_NE(said.find("tessaro: lock folder " + sandbox.Folder()), std::string::npos) << said;
        EXPECT_FALSE(Exists(bait + "/planted"));
        std::vector<std::string> after;
        for (const auto& entry : fs::directory_iterator(bait))
            after.push_back(entry.path().string());
        EXPECT_EQ(after, before) << "nothing is made where a link points";
        CloseHandle(again);
        CloseHandle(mutex);
        attacker.Finish();
    }
}
