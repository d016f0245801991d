// "Mirror Flip": mirror, flip, quarter turn and mark on the current view's image.
#include "display_fixture.h"
#include "transforms.h"

using namespace vantry;

namespace {

class Transforms : public DisplayFixture {
protected:
    void SetUp() override { pane(200, 200); }
    void press(std::optional<std::string> answer)
    {
        host.inputAnswers.push_back(std::move(answer));
        FLIPGO_Click(k);
    }
    std::vector<int16_t>& img() { return k.ws.IMG[0].pixels; }
};

TEST_F(Transforms, CancelMirrorsAndTheViewIsRedrawn)
{
    loadImage(0, 3, 2, {1, 2, 3, 4, 5, 6});
    press(std::nullopt);
    ASSERT_EQ(host.prompts.size(), 1u);
    EXPECT_EQ(host.prompts[0].prompt, "0..mirror 1..flip = 2..Rotate 3..Mark");
    EXPECT_EQ(host.prompts[0].deflt, "0");
    EXPECT_EQ(img(), (std::vector<int16_t>{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(host.blitCount[0], 1);
    press("abc");
    EXPECT_EQ(img(), (std::vector<int16_t>{1, 2, 3, 4, 5, 6})) << "no number: mirror again";
}

TEST_F(Transforms, FlipExchangesRowsAndKeepsTheMiddleOne)
{
    loadImage(0, 2, 5, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4});
    press("1");
    EXPECT_EQ(img(), (std::vector<int16_t>{4, 4, 3, 3, 2, 2, 1, 1, 0, 0}));
}

TEST_F(Transforms, QuarterTurnClockwiseSwapsTheSizes)
{
    loadImage(0, 3, 2, {1, 2, 3, 4, 5, 6});
    press("2");
    EXPECT_EQ(k.ws.XSZ[0], 2);
    EXPECT_EQ(k.ws.YSZ[0], 3);
    EXPECT_EQ(img(), (std::vector<int16_t>{4, 1, 5, 2, 6, 3}));
    EXPECT_EQ(k.ws.COPYIMG.pixels, img()) << "the copy buffer keeps the turned image";
}

TEST_F(Transforms, TwoMirrorsTwoFlipsAndFourTurnsGiveTheImageBack)
{
    const auto original = numbered(7, 5);
    loadImage(0, 7, 5, original);
    press("0");
    press("0");
    EXPECT_EQ(img(), original);
    press("1");
    press("1");
    EXPECT_EQ(img(), original);
    for (int i = 0; i < 4; ++i) press("2");
    EXPECT_EQ(img(), original);
    EXPECT_EQ(k.ws.XSZ[0], 7);
}

TEST_F(Transforms, TurnOfANonSquareImageKeepsTheShownRegionInside)
{
    loadImage(0, 300, 100, numbered(300, 100));
    k.ws.VIEWX0[0] = 200; // a region near the right edge of the wide image
    k.ws.VIEWXS[0] = 100;
    press("2");
    EXPECT_EQ(k.ws.XSZ[0], 100);
    EXPECT_LE(k.ws.VIEWX0[0] + k.ws.VIEWXS[0], 100);
    EXPECT_LE(k.ws.VIEWY0[0] + k.ws.VIEWYS[0], 300);
    EXPECT_EQ(host.blitCount[0], 1);
}

TEST_F(Transforms, MarkBurnsTwoByTwoPixelsAtTheRoiCorner)
{
    loadImage(0, 100, 100, std::vector<int16_t>(100 * 100, -5));
    press("3");
    for (auto [x, y] : {std::pair{50, 50}, {51, 50}, {50, 51}, {51, 51}}) EXPECT_EQ(k.ws.IMG[0].at(x, y), 15000);
    EXPECT_EQ(k.ws.IMG[0].at(52, 50), -5);
    EXPECT_EQ(k.ws.IMG[0].at(49, 49), -5);
}

TEST_F(Transforms, MarkAtTheLastColumnAndRowSkipsThePixelsOutside)
{
    loadImage(0, 52, 51, std::vector<int16_t>(52 * 51, 0));
    k.roi[0].ROIX = 51;
    k.roi[0].ROIY = 50;
    press("3");
    EXPECT_EQ(k.ws.IMG[0].at(51, 50), 15000);
    k.roi[0].ROIX = -1;
    k.roi[0].ROIY = -1;
    press("3");
    EXPECT_EQ(k.ws.IMG[0].at(0, 0), 15000) << "only the corner inside the image";
}

TEST_F(Transforms, OtherAnswersChangeNothingButStillRedraw)
{
    const auto original = numbered(5, 4);
    loadImage(0, 5, 4, original);
    for (const char* answer : {"4", "-1", "99999", "2.5"}) press(answer); // 2.5 rounds to even: 2
    EXPECT_EQ(k.ws.XSZ[0], 4) << "only 2.5 turned the image";
    EXPECT_EQ(host.blitCount[0], 4);
}

TEST_F(Transforms, NoImageNoPrompt)
{
    FLIPGO_Click(k);
    EXPECT_TRUE(host.prompts.empty());
}

} // namespace
