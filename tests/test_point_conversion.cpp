// TransformPoint on its own: what reaches the projection library, what comes
// back, which codes are accepted, and the two trace messages.
#include <cmath>
#include <string>
#include <vector>

#include "kavro.h"
#include "point_conversion.h"
#include "porvex_double.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// What the library was given, and what it answers.
double gSeenX, gSeenY;
double gAnswerX, gAnswerY;

void Answer(uint32_t, uint32_t, double x, double y, double *xOut, double *yOut, int32_t *) {
    gSeenX = x;
    gSeenY = y;
    *xOut = gAnswerX;
    *yOut = gAnswerY;
}

const double kPi = 3.141592653589793;

struct PointCase {
    const char *name;
    uint32_t flags;
    double x, y;                // given to TransformPoint
    double answerX, answerY;    // the library's answer
    int32_t code;               // the library's code
    double seenX, seenY;        // expected at the library
    double resultX, resultY;    // expected back from TransformPoint
    int32_t result;
};

class PointConversion : public ::testing::Test {
protected:
    void SetUp() override {
        PorvexDouble_Reset();
        PorvexDouble_SetTransform(Answer);
        ResetMessages();
    }
};

TEST_F(PointConversion, AdjustmentsAndCodes) {
    const PointCase cases[] = {
        {"no adjustment: values pass both ways untouched", 0, 12.345678901234567, -7.25,
         0.1, -0.30000000000000004, 0, 12.345678901234567, -7.25, 0.1, -0.30000000000000004, TR_OK},
        {"degrees in: 180 reaches the library as pi", TF_IN_DEGREES, 180, 90, 1, 2, 0,
         kPi, kPi / 2, 1, 2, TR_OK},
        {"degrees out: pi comes back as exactly 180", TF_OUT_DEGREES, 1, 2, kPi, -kPi / 2, 0,
         1, 2, 180, -90, TR_OK},
        {"negate and degrees in: -x*f and y*f", TF_IN_NEGATE_X | TF_IN_DEGREES, 180, 90, 1, 2, 0,
         -kPi, kPi / 2, 1, 2, TR_OK},
        {"negate out changes x only", TF_OUT_NEGATE_X, 1, 2, 5, 6, 0, 1, 2, -5, 6, TR_OK},
        {"negate and degrees out", TF_OUT_NEGATE_X | TF_OUT_DEGREES, 1, 2, kPi, kPi, 0,
         1, 2, -180, 180, TR_OK},
        {"tolerance warning refused without relax, pair replaced all the same", 0, 1, 2, 5, 6,
         -1, 1, 2, 5, 6, TR_TRANSFORM_FAILED},
        {"-1 accepted with relax", TF_RELAX, 1, 2, 5, 6, -1, 1, 2, 5, 6, TR_OK},
        {"-4 accepted with relax", TF_RELAX, 1, 2, 5, 6, -4, 1, 2, 5, 6, TR_OK},
        {"-5 refused with relax", TF_RELAX, 1, 2, 5, 6, -5, 1, 2, 5, 6, TR_TRANSFORM_FAILED},
        {"positive code refused without relax", 0, 1, 2, 5, 6, 7, 1, 2, 5, 6, TR_TRANSFORM_FAILED},
        {"positive code accepted with relax", TF_RELAX, 1, 2, 5, 6, 7, 1, 2, 5, 6, TR_OK},
        {"failure code of the library refused with relax", TF_RELAX, 1, 2, 5, 6, -10, 1, 2, 5, 6,
         TR_TRANSFORM_FAILED},
    };
    for (const PointCase &c : cases) {
        SCOPED_TRACE(c.name);
        PorvexDouble_SetCode(c.code);
        gAnswerX = c.answerX;
        gAnswerY = c.answerY;
        double x = c.x, y = c.y;
        EXPECT_EQ(TransformPoint(3, 4, x, y, c.flags, RecordMessage), c.result);
        EXPECT_EQ(gSeenX, c.seenX);  // exact: no tolerance anywhere
        EXPECT_EQ(gSeenY, c.seenY);
        EXPECT_EQ(x, c.resultX);
        EXPECT_EQ(y, c.resultY);
    }
    // Both handles go through unchanged, with a height of 0.
    EXPECT_NE(DoubleLog().find("transform 3 4 12.345678901234567 -7.25 0\n"), std::string::npos);
    EXPECT_TRUE(Messages().messages.empty()) << "traces without TF_VERBOSE";
}

TEST_F(PointConversion, AngleFactor) {
    // The factor and its reciprocal as doubles, exactly.
    gAnswerX = kPi;
    gAnswerY = 0.0;
    double x = 1.0, y = 1.0;
    ASSERT_EQ(TransformPoint(1, 2, x, y, TF_IN_DEGREES | TF_OUT_DEGREES, nullptr), TR_OK);
    EXPECT_EQ(gSeenX, 0.017453292519943295);
    EXPECT_EQ(x, 180.0);
    gAnswerX = 1.0;
    ASSERT_EQ(TransformPoint(1, 2, x, y, TF_OUT_DEGREES, nullptr), TR_OK);
    EXPECT_EQ(x, 57.29577951308232);
}

TEST_F(PointConversion, Traces) {
    gAnswerX = 3.0;
    gAnswerY = 4.0;
    PorvexDouble_SetCode(-2);
    double x = 1.5, y = -2.0;
    // The Xin trace shows the pair as it came, the XOut trace the pair as it
    // is written; both are sent also when the pair is refused.
    EXPECT_EQ(TransformPoint(1, 2, x, y, TF_VERBOSE | TF_IN_NEGATE_X | TF_IN_DEGREES | TF_OUT_NEGATE_X,
                             RecordMessage),
              TR_TRANSFORM_FAILED);
    EXPECT_EQ(Messages().messages,
              (std::vector<std::string>{"Xin = 1.500000 Yin = -2.000000  Zin=0.000000 ",
                                        "XOut = -3.000000 YOut = 4.000000 ZOut=0.000000 RetVal = -2"}));

    // A callback that answers false to a trace changes nothing, and with no
    // callback nothing is sent.
    ResetMessages();
    Messages().answer = 0;
    PorvexDouble_SetCode(0);
    x = 1.0;
    EXPECT_EQ(TransformPoint(1, 2, x, y, TF_VERBOSE, RecordMessage), TR_OK);
    EXPECT_EQ(Messages().messages.size(), 2u);
    EXPECT_EQ(x, 3.0);
    EXPECT_EQ(TransformPoint(1, 2, x, y, TF_VERBOSE, nullptr), TR_OK);
    EXPECT_EQ(Messages().messages.size(), 2u);
}

}  // namespace
