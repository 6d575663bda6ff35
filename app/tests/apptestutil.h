// Helpers of the desktop program's tests: a private HOME and environment
// variables restored after each test.
#pragma once

#include "tests/support/testutil.h"

#include <QString>

#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <string>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace apptest {

// Sets environment variables for the life of the object and restores them.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    void Set(const std::string& name, const std::optional<std::string>& value)
    {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// A fresh, empty HOME with no XDG folder variables: every user folder of the
// program lands below it.
class FreshHome {
public:
    FreshHome()
    {
        env_.Set("HOME", dir_.path().string());
        for (const char* v : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"})
            env_.Set(v, std::nullopt);
    }
    const testutil::fs::path& path() const { return dir_.path(); }
    QString qpath() const { return QString::fromStdString(dir_.path().string()); }

private:
    testutil::TempDir dir_;
    ScopedEnv env_;
};

inline QString Q(const testutil::fs::path& p)
{
    return QString::fromStdString(p.string());
}

} // namespace apptest
