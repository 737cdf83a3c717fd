#include "standin/declarations.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "standin/text.h"

namespace sv::standin {
namespace {

// The dispatcher finds members by name and DISPID within an object's rows, and parameters by
// position: a row that breaks that would answer for another member or misplace an argument.
TEST(Declarations, EachObjectsRowsAreTogetherAndTellMembersAndParametersApart) {
    std::set<std::string> objectsSeen;
    std::string_view current;
    for (const Declaration& d : Declarations()) {
        SCOPED_TRACE(std::string(d.object) + "." + std::string(d.name));
        if (d.object != current) {
            EXPECT_TRUE(objectsSeen.insert(std::string(d.object)).second) << "rows apart";
            current = d.object;
        }
        for (const Declaration& other : DeclarationsOf(d.object)) {
            if (&other != &d) {
                EXPECT_FALSE(SameName(other.name, d.name));
                EXPECT_NE(other.id, d.id);
            }
        }
        EXPECT_EQ((d.kinds & (kPut | kPutRef)) != 0, d.putValue != Type::kVoid);
        EXPECT_EQ((d.kinds & kMethod) != 0, (d.kinds & (kGet | kPut | kPutRef)) == 0);
        // Parameters in order, the optional ones last.
        for (size_t i = 1; i < d.params.size(); ++i) {
            if (d.params[i].type != Type::kVoid) {
                EXPECT_NE(d.params[i - 1].type, Type::kVoid);
                EXPECT_FALSE(d.params[i - 1].need != Need::kRequired &&
                             d.params[i].need == Need::kRequired);
            }
        }
    }
}

}  // namespace
}  // namespace sv::standin
