// Shared pieces of the job-loop tests: PDF fixtures made once per test
// program, and a recorder for the progress and cancel callbacks.
#pragma once

#include "engine/layout/callbacks.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "parser/parser.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace jobtest {

namespace fs = std::filesystem;

struct Call {
    int item;
    unsigned message;
    int value;
    bool operator==(const Call&) const = default;
};

inline std::ostream& operator<<(std::ostream& o, const Call& c)
{
    return o << "{" << c.item << "," << c.message << "," << c.value << "}";
}

// Records every progress call; the cancel callback answers true from its
// `cancelAt`-th question on (never when 0), or from the `asksAfter`-th
// question after the progress call `cancelAfter` was made. A long page is
// also asked while it is analysed or drawn, once a fraction of a second has
// passed, so the number of questions up to a point depends on the machine's
// speed; the progress calls do not.
class Recorder {
public:
    std::vector<Call> calls;
    int cancelAt = 0;
    std::optional<Call> cancelAfter;
    int asksAfter = 1;
    int cancelAsks = 0;
    int asksSince = 0;

    callback_funcs callbacks()
    {
        callback_funcs cb;
        cb.progress = [](void* ctx, int item, unsigned message, int value) {
            static_cast<Recorder*>(ctx)->calls.push_back({item, message, value});
        };
        cb.cancel = [](void* ctx) {
            auto* r = static_cast<Recorder*>(ctx);
            ++r->cancelAsks;
            if (r->cancelAfter) {
                if (std::find(r->calls.begin(), r->calls.end(), *r->cancelAfter) == r->calls.end())
                    return false;
                return ++r->asksSince >= r->asksAfter;
            }
            return r->cancelAt > 0 && r->cancelAsks >= r->cancelAt;
        };
        return cb;
    }

    std::vector<Call> forItem(int item) const
    {
        std::vector<Call> out;
        for (const Call& c : calls) {
            if (c.item == item)
                out.push_back(c);
        }
        return out;
    }
};

// The calls of one item, as {message, value} pairs.
inline std::vector<Call> Seq(int item, std::initializer_list<std::pair<unsigned, int>> list)
{
    std::vector<Call> out;
    for (auto [m, v] : list)
        out.push_back({item, m, v});
    return out;
}

// PDF fixtures shared by every test of the program.
class Fixtures {
public:
    static Fixtures& get()
    {
        static Fixtures f;
        return f;
    }
    // The fixture's path (UTF-8).
    std::string path(const std::string& name) const { return (dir_.path() / (name + ".pdf")).string(); }

private:
    Fixtures()
    {
        if (!testutil::MakePdfFixtures(dir_.path(),
                                       "pages1:one pages2:two pages3:three pages5:five "
                                       "pages10:ten pictures blank zero notpdf truncated "
                                       "pages2:Files pages2:ImageFiles liarcount liarform "
                                       "badpicture outsidekids hugejpeg manywords manywords2 slowpages1:slowone slowpages2:slowtwo"))
            ADD_FAILURE() << "fixtures could not be made";
        // An AES-256 copy that needs the password "secret".
        int status = -1;
        testutil::Run("qpdf --encrypt secret owner 256 -- " + testutil::Quote(path("three")) +
                          " " + testutil::Quote(path("locked")),
                      &status);
        if (status != 0)
            ADD_FAILURE() << "qpdf could not encrypt";
    }
    testutil::TempDir dir_;
};

// A job item as the desktop program fills it.
inline Basedata_w Item(int type, const std::string& source, const std::string& dest,
                       const std::string& range = "All", const std::string& password = {})
{
    exportdata_w in;
    in.type = std::to_string(type);
    in.source = utf8::ToWide(source);
    in.dest = utf8::ToWide(dest);
    in.range = utf8::ToWide(range);
    in.password = password;
    Basedata_w item;
    try {
        Parser parser;
        parser.Load(in.source, false, password.c_str());
        item.last = parser.GetPageCount();
    } catch (...) {
        item.last = 0;
    }
    exportdata2basedata_w(&item, &in);
    return item;
}

} // namespace jobtest
