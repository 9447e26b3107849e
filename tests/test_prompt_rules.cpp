// The prompt's rules without a window: the texts it shows for a request, where it goes,
// which keys count, what it offers locked, what goes with the answer, and what "Configure
// new rule" makes of its lists.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include "prompt_question.h"
#include "prompt.h"
#include "wayguard_ids.h"

namespace {

TEST(PromptTexts, NameTheConnectionAsTheUserKnowsIt) {
  PFW_PROMPT_REQUEST named = question("IEXPLORE.EXE", 80, "203.0.113.7", "HTTP");
  wayguard::PromptTexts t = wayguard::TextsOf(named);
  EXPECT_EQ(t.direction, "Outbound");
  EXPECT_EQ(t.application, "IEXPLORE.EXE");
  EXPECT_EQ(t.service, "HTTP (TCP port 80)");
  EXPECT_EQ(t.address, "203.0.113.7");
  PFW_PROMPT_REQUEST unnamed = question("DNS.EXE", 53, "10.0.0.1", "");
  unnamed.transport = PFW_UDP;
  unnamed.direction = PFW_INBOUND;
  t = wayguard::TextsOf(unnamed);
  EXPECT_EQ(t.direction, "Inbound");
  EXPECT_EQ(t.service, "UDP port 53");
}

TEST(PromptPlacement, KeepsClearOfTheWindowToAvoidAndInsideTheWorkArea) {
  RECT work{0, 0, 1024, 738};
  SIZE size{330, 210};
  POINT centred = wayguard::PlacePrompt(size, work, nullptr);
  EXPECT_EQ(centred.x, (1024 - 330) / 2);
  EXPECT_EQ(centred.y, (738 - 210) / 2);
  auto clear_of = [&](POINT p, const RECT& avoid) {
    RECT at{p.x, p.y, p.x + size.cx, p.y + size.cy}, both;
    return !IntersectRect(&both, &at, &avoid) && p.x >= work.left && p.y >= work.top && at.right <= work.right &&
           at.bottom <= work.bottom;
  };
  // The unlock dialog in the middle, near the top, near the bottom, at the left edge.
  for (RECT avoid :
       {RECT{387, 300, 637, 420}, RECT{400, 0, 650, 120}, RECT{400, 600, 650, 738}, RECT{0, 200, 250, 600}}) {
    POINT p = wayguard::PlacePrompt(size, work, &avoid);
    EXPECT_TRUE(clear_of(p, avoid)) << avoid.left << "," << avoid.top << " -> " << p.x << "," << p.y;
  }
  // Nothing fits beside it: the corner farthest from it, still on the screen.
  RECT huge{100, 100, 900, 600};
  POINT p = wayguard::PlacePrompt(size, work, &huge);
  EXPECT_TRUE(p.x == work.left || p.x + size.cx == work.right);
  EXPECT_TRUE(p.y == work.top || p.y + size.cy == work.bottom);
  // A work area smaller than the prompt: its top-left corner stays on the screen.
  POINT small = wayguard::PlacePrompt(size, RECT{0, 0, 200, 100}, nullptr);
  EXPECT_EQ(small.x, 0);
  EXPECT_EQ(small.y, 0);
}

TEST(PromptKeys, CountOnlyFromHalfASecondAfterThePromptAppeared) {
  DWORD shown = 1000;
  EXPECT_FALSE(wayguard::PromptKeyCounts(shown, 1000));
  EXPECT_FALSE(wayguard::PromptKeyCounts(shown, 1499));
  EXPECT_TRUE(wayguard::PromptKeyCounts(shown, 1500));
  EXPECT_FALSE(wayguard::PromptKeyCounts(shown, 900)) << "typed before it came";
  // Across the tick count's wrap.
  EXPECT_FALSE(wayguard::PromptKeyCounts(0xFFFFFF00u, 0x00000010u));
  EXPECT_TRUE(wayguard::PromptKeyCounts(0xFFFFFF00u, 0x00000200u));
}

// Locked, the prompt offers neither a rule nor a longer life, and a control set anyway
// counts for nothing; unlocked, the user's choices go with the answer.
TEST(PromptRules, LockedThePromptOffersNothingLastingAndIgnoresWhatItDidNotOffer) {
  using wayguard::AnswerLife;
  wayguard::PromptLook open = wayguard::LookOfPrompt(false), locked = wayguard::LookOfPrompt(true);
  EXPECT_TRUE(open.addRuleOffered && open.lifeOffered);
  EXPECT_FALSE(locked.addRuleOffered || locked.lifeOffered);
  wayguard::PromptChoice chosen = wayguard::ChoiceOf(false, true, 1);
  EXPECT_TRUE(chosen.addRule);
  EXPECT_EQ(chosen.life, AnswerLife::kFifteenMinutes);
  EXPECT_EQ(wayguard::ChoiceOf(false, false, 2).life, AnswerLife::kUntilWayguardEnds);
  EXPECT_FALSE(wayguard::ChoiceOf(false, false, 2).addRule);
  EXPECT_EQ(wayguard::ChoiceOf(false, false, -1).life, AnswerLife::kThisConnection) << "no selection";
  wayguard::PromptChoice even_so = wayguard::ChoiceOf(true, true, 2);
  EXPECT_FALSE(even_so.addRule);
  EXPECT_EQ(even_so.life, AnswerLife::kThisConnection);
}

TEST(PromptRules, HowAPromptEndedDecidesTheAnswer) {
  EXPECT_EQ(wayguard::EndOfPrompt(IDOK), wayguard::PromptEnd::kAllow);
  EXPECT_EQ(wayguard::EndOfPrompt(IDC_PROMPT_DENY), wayguard::PromptEnd::kDeny);
  EXPECT_EQ(wayguard::EndOfPrompt(wayguard::CPromptDialog::kGone), wayguard::PromptEnd::kGone);
  for (INT_PTR odd : {INT_PTR(-1), INT_PTR(0), INT_PTR(99)})
    EXPECT_EQ(wayguard::EndOfPrompt(odd), wayguard::PromptEnd::kNotShown) << odd;
}

TEST(PromptRules, ConfigureNewRuleHeadingListsAndMessages) {
  EXPECT_EQ(wayguard::NewRuleHeading(PFW_ALLOW, PFW_OUTBOUND), "Allow this outbound connection:");
  EXPECT_EQ(wayguard::NewRuleHeading(PFW_DENY, PFW_INBOUND), "Deny this inbound connection:");
  wayguard::NewRule own = wayguard::NewRuleOf(PFW_DENY, 0, 0, 0);
  EXPECT_FALSE(own.anyApplication || own.anyProtocol || own.anyAddress);
  EXPECT_EQ(own.action, PFW_DENY);
  wayguard::NewRule app = wayguard::NewRuleOf(PFW_ALLOW, 1, 0, 0), proto = wayguard::NewRuleOf(PFW_ALLOW, 0, 1, 0),
                    addr = wayguard::NewRuleOf(PFW_ALLOW, 0, 0, 1);
  EXPECT_TRUE(app.anyApplication && !app.anyProtocol && !app.anyAddress);
  EXPECT_TRUE(!proto.anyApplication && proto.anyProtocol && !proto.anyAddress);
  EXPECT_TRUE(!addr.anyApplication && !addr.anyProtocol && addr.anyAddress);
  EXPECT_FALSE(wayguard::MessageOfAdd(wayguard::AddResult::kAdded).has_value());
  auto exists = wayguard::MessageOfAdd(wayguard::AddResult::kExists);
  ASSERT_TRUE(exists.has_value());
  EXPECT_STREQ(exists->text, "A rule with these parameters already exists!");
  EXPECT_STREQ(exists->caption, "Configure new rule");
  auto failed = wayguard::MessageOfAdd(wayguard::AddResult::kFailed);
  ASSERT_TRUE(failed.has_value());
  EXPECT_STREQ(failed->text, "Rule creation failed!");
  EXPECT_STREQ(failed->caption, "Tarnwall");
}

}  // namespace
