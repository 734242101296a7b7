// Which events a run performs and in which order, and the runs that must not start: events
// that need a switcher or channels Kestrix does not record, and orders that would leave
// another tape than the list's.

#include "assembly/AssemblyPlan.h"
#include "tests/assembly/AssemblyTestSupport.h"

#include <gtest/gtest.h>

using namespace assemblytest;

namespace {

std::vector<int> numbersOf(const EventList& list, const std::vector<PlannedEvent>& order)
{
    std::vector<int> numbers;
    for (const PlannedEvent& planned : order)
        numbers.push_back(list[planned.index].number);
    return numbers;
}

AssemblyPlan::Request byReel(const std::string& mounted)
{
    AssemblyPlan::Request request;
    request.mode = AssemblyMode::ByReel;
    request.mountedReel = mounted;
    return request;
}

}

TEST(AssemblyPlan, EventsKestrixCannotPerformRefuseTheRunNamingEachOfThem)
{
    const EventList list = listOf(
        "001  A        V     C        00:00:10:00 00:00:11:00 00:01:00:00 00:01:01:00\n"
        "002  A        V     C        00:00:12:00 00:00:12:00 00:01:01:00 00:01:01:00\n"
        "002  B        V     D    030 00:00:20:00 00:00:22:00 00:01:01:00 00:01:03:00\n"
        "003  A        V     C        00:00:30:00 00:00:31:00 00:01:03:00 00:01:04:00\n"
        "004  A        V     C        00:00:40:00 00:00:40:00 00:01:04:00 00:01:04:00\n"
        "004  B        V     W001 015 00:00:50:00 00:00:52:00 00:01:04:00 00:01:06:00\n"
        "005  BL       V     K B      00:00:00:00 00:00:02:00 00:01:06:00 00:01:08:00\n"
        "005  B        V     K        00:01:00:00 00:01:02:00 00:01:06:00 00:01:08:00\n"
        "006  A        AA    C        00:02:00:00 00:02:02:00 00:01:08:00 00:01:10:00\n"
        "AUD 3\n"
        "SPLIT:    AUDIO DELAY=  00:00:00:06\n"
        "007  A        V     C        00:03:00:00 00:03:02:00 00:01:10:00 00:01:12:00\n"
        "007  B        A     C        00:03:00:06 00:03:02:00 00:01:10:06 00:01:12:00\n"
        "008  A        V     C        00:04:00:00 00:04:01:00 00:01:12:00 00:01:13:00\n");

    const AssemblyPlan all(list, {});
    ASSERT_TRUE(all.refusal());
    EXPECT_EQ(*all.refusal(), "NEEDS A SWITCHER: EVENTS 2, 4, 5; CHANNELS KESTRIX DOES NOT RECORD: EVENT 6; "
                              "TWO PLAYER REELS IN ONE EVENT: EVENT 7");
    EXPECT_TRUE(all.order().empty());

    AssemblyPlan::Request afterThem;
    afterThem.from = indexOf(list, 8);
    const AssemblyPlan last(list, afterThem);
    EXPECT_FALSE(last.refusal()) << "events before the run's first are not its concern";
    EXPECT_EQ(numbersOf(list, last.order()), std::vector<int>{8});
}

TEST(AssemblyPlan, ByReelTakesRecorderOnlyEventsFirstThenTheMountedReelThenTheOthersEachInRecordOrder)
{
    const EventList list = listOf("001  A        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n"
                                  "002  B        V     C        00:20:00:00 00:20:01:00 00:00:20:00 00:00:21:00\n"
                                  "003  BL       V     C        00:00:00:00 00:00:01:00 00:00:05:00 00:00:06:00\n"
                                  "004  C        V     C        00:40:00:00 00:40:01:00 00:00:40:00 00:00:41:00\n"
                                  "005  A        V     C        00:30:00:00 00:30:01:00 00:00:30:00 00:00:31:00\n"
                                  "006  A        V     C        00:15:00:00 00:15:01:00 00:00:15:00 00:00:16:00\n"
                                  "007  B        V     C        00:12:00:00 00:12:01:00 00:00:12:00 00:00:13:00\n");

    const AssemblyPlan bMounted(list, byReel("B"));
    ASSERT_FALSE(bMounted.refusal()) << *bMounted.refusal();
    EXPECT_EQ(numbersOf(list, bMounted.order()), (std::vector<int>{3, 7, 2, 1, 6, 5, 4}));
    EXPECT_EQ(bMounted.order()[0].reel, "") << "black needs no reel";

    const AssemblyPlan unknown(list, byReel(""));
    EXPECT_EQ(unknown.mountedReel(), "A") << "the reel of the first event that has one";
    EXPECT_EQ(numbersOf(list, unknown.order()), (std::vector<int>{3, 1, 6, 5, 7, 2, 4}));

    AssemblyPlan::Request listOrder;
    listOrder.from = indexOf(list, 2);
    const AssemblyPlan fromTwo(list, listOrder);
    EXPECT_EQ(fromTwo.mountedReel(), "B");
    EXPECT_EQ(numbersOf(list, fromTwo.order()), (std::vector<int>{2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(fromTwo.recorderOnly(), std::vector<std::size_t>{indexOf(list, 3)});
}

namespace {

struct OrderCase {
    const char* name;
    const char* events;
    AssemblyPlan::Request request;
    std::vector<int> onTape;  // event numbers recorded by an earlier run
    const char* refusal;      // nullptr: the run may start
};

class OrderThatChangesTheTape : public testing::TestWithParam<OrderCase> {};

constexpr const char* overlappingVideo =
    "001  A        V     C        00:10:00:00 00:10:10:00 00:00:10:00 00:00:20:00\n"
    "002  B        V     C        00:20:00:00 00:20:10:00 00:00:15:00 00:00:25:00\n";

const OrderCase orderCases[] = {
    {"ByReelOverAnOverlappingLaterEvent", overlappingVideo, byReel("B"), {},
     "THE RUN WOULD RECORD EVENT 1 OVER EVENT 2"},
    {"ByReelOverOtherChannels",
     "001  A        V     C        00:10:00:00 00:10:10:00 00:00:10:00 00:00:20:00\n"
     "002  B        AA    C        00:20:00:00 00:20:10:00 00:00:15:00 00:00:25:00\n",
     byReel("B"), {}, nullptr},
    {"ByReelOverTheFramesAnAssembleRecordsPastItsOut",
     "001  A        AA/V  C        00:10:00:00 00:10:10:00 00:00:10:00 00:00:20:00\n"
     "* EDIT MODE: ASSEMBLE\n"
     "002  B        V     C        00:20:00:00 00:20:10:00 00:00:21:29 00:00:25:00\n",
     byReel("B"), {}, "THE RUN WOULD RECORD EVENT 1 OVER EVENT 2"},
    {"ByReelJustAfterWhatAnAssembleRecordsPastItsOut",
     "001  A        AA/V  C        00:10:00:00 00:10:10:00 00:00:10:00 00:00:20:00\n"
     "* EDIT MODE: ASSEMBLE\n"
     "002  B        V     C        00:20:00:00 00:20:10:00 00:00:22:00 00:00:25:00\n",
     byReel("B"), {}, nullptr},
    {"ResumedUnderALaterEventOnTape", overlappingVideo, {}, {2},
     "THE RUN WOULD RECORD EVENT 1 OVER EVENT 2, RECORDED EARLIER"},
    {"ResumedOverAnEarlierEventOnTape", overlappingVideo, {}, {1}, nullptr},
};

void PrintTo(const OrderCase& c, std::ostream* out)
{
    *out << c.name;
}

}

TEST_P(OrderThatChangesTheTape, IsRefusedNamingBothEvents)
{
    const OrderCase& c = GetParam();
    const EventList list = listOf(c.events);
    AssemblyPlan::Request request = c.request;
    for (const int number : c.onTape)
        request.onTape.insert(indexOf(list, number));

    const AssemblyPlan plan(list, request);

    if (c.refusal) {
        ASSERT_TRUE(plan.refusal());
        EXPECT_EQ(*plan.refusal(), c.refusal);
        EXPECT_TRUE(plan.order().empty());
    } else {
        EXPECT_FALSE(plan.refusal()) << *plan.refusal();
        EXPECT_EQ(plan.order().size() + plan.onTape().size(), list.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, OrderThatChangesTheTape, testing::ValuesIn(orderCases),
                         [](const testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });
