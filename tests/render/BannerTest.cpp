// The banner strip as its user meets it, with a fake window, network, browser
// and clock: what the strip shows after each tick, whether the one request
// goes out and where to, what completes the page, where the links lead.
#include "render/Banner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TFakeView : IBannerView {
  bool Picture = true;
  bool WebPanel = false;
  bool SmallLink = false;
  bool SmallLinkUnderlined = false;
  TColor LinkColor = BannerLinkColor;
  std::vector<std::string> Navigated;
  std::vector<TColor> LinkColors; // every colour the link was painted in

  bool PictureVisible() const override { return Picture; }
  void HidePicture() override { Picture = false; }
  void ShowWebPanel() override { WebPanel = true; }
  void Navigate(const std::string& Address) override { Navigated.push_back(Address); }
  void ShowSmallLink() override { SmallLink = true; }
  void SetLinkColor(TColor Color) override {
    LinkColor = Color;
    LinkColors.push_back(Color);
  }
  void SetSmallLinkUnderline(bool Underline) override { SmallLinkUnderlined = Underline; }
};

// Answers each attempt when told to, as the network would, a while later.
struct TFakeConnection : IBannerConnection {
  int Attempts = 0;
  std::optional<bool> AnswerAtOnce;
  std::function<void(bool)> Pending;

  void AttemptConnect(std::function<void(bool)> Answer) override {
    ++Attempts;
    if (AnswerAtOnce)
      Answer(*AnswerAtOnce);
    else
      Pending = std::move(Answer);
  }
  void Answer(bool Connected) {
    auto answer = std::exchange(Pending, nullptr);
    ASSERT_TRUE(answer) << "no attempt is waiting";
    answer(Connected);
  }
};

struct TFakeShell : IBannerShell {
  std::vector<std::string> Opened;
  void OpenAddress(const std::string& Address) override { Opened.push_back(Address); }
};

struct TFakeClock : IBannerClock {
  int Now = 0;
  std::vector<std::pair<int, std::function<void()>>> Due;

  void After(int Milliseconds, std::function<void()> Then) override {
    Due.emplace_back(Now + Milliseconds, std::move(Then));
  }
  void Advance(int Milliseconds) {
    Now += Milliseconds;
    for (std::size_t i = 0; i < Due.size();) {
      if (Due[i].first <= Now) {
        auto then = std::move(Due[i].second);
        Due.erase(Due.begin() + std::ptrdiff_t(i));
        then();
      } else {
        ++i;
      }
    }
  }
};

const TBannerFacts UsFacts{"USA", 1024, 768, 102};

struct TBannerTest : ::testing::Test {
  TFakeView View;
  TFakeConnection Connection;
  TFakeShell Shell;
  TFakeClock Clock;
  int FactsAsked = 0;
  TBanner Banner{View, Connection, Shell, Clock, "glyptika.example", [this] {
                   ++FactsAsked;
                   return UsFacts;
                 }};

  // Timer1 fires, and the clock moves on to the next tick.
  void Tick() {
    Banner.Timer1Timer();
    Clock.Advance(BannerTickMs);
  }
};

TEST_F(TBannerTest, FirstTickWithAConnectionRequestsTheBannerOnceAndDoesNotFlash) {
  Connection.AnswerAtOnce = true;
  Banner.Timer1Timer();
  EXPECT_TRUE(View.WebPanel);
  ASSERT_EQ(View.Navigated.size(), 1u);
  EXPECT_EQ(View.Navigated[0], "http://glyptika.example/baner.php?c=USA&s=1024x768&w=102&v=3");
  EXPECT_TRUE(View.LinkColors.empty()) << "the request's tick does not flash";
  EXPECT_TRUE(View.Picture) << "the picture stays until the page completes";

  // The page takes long to load: later ticks flash and ask nothing more.
  for (int i = 0; i < 5; ++i)
    Tick();
  EXPECT_EQ(Connection.Attempts, 1);
  EXPECT_EQ(View.Navigated.size(), 1u);
  EXPECT_EQ(FactsAsked, 1);
}

TEST_F(TBannerTest, WithoutAConnectionNoRequestIsSentThatRunAndTheLinkFlashes) {
  Banner.Timer1Timer();
  EXPECT_TRUE(Banner.Attempting());
  EXPECT_TRUE(View.LinkColors.empty()) << "nothing flashes while the attempt is out";
  Connection.Answer(false);
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor) << "a failed attempt's tick flashes";
  for (int i = 0; i < 10; ++i)
    Tick();
  EXPECT_EQ(Connection.Attempts, 1) << "a failed attempt is not retried";
  EXPECT_TRUE(View.Navigated.empty());
  EXPECT_FALSE(View.WebPanel);
  EXPECT_TRUE(View.Picture);
  EXPECT_EQ(FactsAsked, 0) << "nothing about the machine is gathered for no request";
}

TEST_F(TBannerTest, NoRequestOnceThePictureIsGone) {
  View.Picture = false;
  Tick();
  Tick();
  EXPECT_EQ(Connection.Attempts, 0);
  EXPECT_FALSE(Banner.BannerRequested());
}

TEST_F(TBannerTest, FlashIsRedForFourHundredMillisecondsThenTheLinkColourAgain) {
  Connection.AnswerAtOnce = false;
  Banner.Timer1Timer(); // the failed attempt flashes
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor);
  Clock.Advance(BannerFlashMs - 1);
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor);
  Clock.Advance(1);
  EXPECT_EQ(View.LinkColor, BannerLinkColor);
  EXPECT_FALSE(Banner.Flashing());

  Clock.Advance(BannerTickMs);
  Banner.Timer1Timer(); // every later tick flashes too
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor);
  Clock.Advance(BannerFlashMs);
  EXPECT_EQ(View.LinkColor, BannerLinkColor);
  EXPECT_EQ(View.LinkColors, (std::vector<TColor>{BannerLinkHotColor, BannerLinkColor,
                                                  BannerLinkHotColor, BannerLinkColor}));
}

TEST_F(TBannerTest, LinkStaysRedWhileHoveredWhateverTheFlashDoes) {
  Connection.AnswerAtOnce = false;
  Banner.LabelWWWMouseEnter();
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor);
  Banner.Timer1Timer();
  Clock.Advance(BannerFlashMs);
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor) << "the end of a flash keeps a hovered link red";

  Banner.LabelWWWMouseLeave();
  EXPECT_EQ(View.LinkColor, BannerLinkColor);

  // Leaving during a flash: the flash still runs its time.
  Clock.Advance(BannerTickMs);
  Banner.Timer1Timer();
  Banner.LabelWWWMouseEnter();
  Banner.LabelWWWMouseLeave();
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor);
  Clock.Advance(BannerFlashMs);
  EXPECT_EQ(View.LinkColor, BannerLinkColor);
}

TEST_F(TBannerTest, AnEarlierFlashsTimerDoesNotEndALaterFlash) {
  Connection.AnswerAtOnce = false;
  Banner.Timer1Timer();
  Clock.Advance(300);
  Banner.Timer1Timer(); // a second flash 300 ms into the first
  Clock.Advance(100);   // the first one's time is up
  EXPECT_EQ(View.LinkColor, BannerLinkHotColor);
  Clock.Advance(300);
  EXPECT_EQ(View.LinkColor, BannerLinkColor);
}

TEST_F(TBannerTest, DocumentCompleteReplacesThePictureOnlyForARealAddress) {
  struct Row {
    const char* Address;
    bool Replaces;
  };
  for (const Row& r :
       {Row{"http://glyptika.example/baner.php?c=USA&s=1024x768&w=102&v=3", true},
        Row{"res://ieframe.dll/dnserror.htm", false}, Row{"res:", false}, Row{"", false},
        Row{"Res://shdoclc.dll/navcancl.htm", true}, Row{"about:blank", true}}) {
    TFakeView view;
    TBanner banner(view, Connection, Shell, Clock, "glyptika.example", nullptr);
    banner.WebBrowserDocumentComplete(r.Address);
    EXPECT_EQ(view.Picture, !r.Replaces) << r.Address;
    EXPECT_EQ(view.SmallLink, r.Replaces) << r.Address;
  }
}

TEST_F(TBannerTest, AfterTheRequestedPageCompletesLaterTicksChangeNothingOnScreen) {
  Connection.AnswerAtOnce = true;
  Tick();
  Banner.WebBrowserDocumentComplete(View.Navigated.at(0));
  EXPECT_FALSE(View.Picture);
  EXPECT_TRUE(View.SmallLink);
  Tick();
  EXPECT_EQ(Connection.Attempts, 1);
  EXPECT_EQ(View.Navigated.size(), 1u);
}

TEST_F(TBannerTest, BothLabelsOpenTheSameAddressInTheDesktopsBrowser) {
  Banner.LWWW2Click(); // LabelWWW's click
  Banner.LWWW2Click(); // LWWW2's click
  EXPECT_EQ(Shell.Opened, (std::vector<std::string>{"http://glyptika.example?pr=kxr",
                                                    "http://glyptika.example?pr=kxr"}));
  EXPECT_TRUE(View.Navigated.empty()) << "the link opens outside the strip";
}

TEST_F(TBannerTest, SmallLinkIsUnderlinedWhileHovered) {
  Banner.LWWW2MouseEnter();
  EXPECT_TRUE(View.SmallLinkUnderlined);
  Banner.LWWW2MouseLeave();
  EXPECT_FALSE(View.SmallLinkUnderlined);
}

TEST(BannerAddresses, QueryCarriesCountryScreenVersionAndThreeInThatOrder) {
  struct Row {
    const char* Name;
    TBannerFacts Facts;
    const char* Query;
  };
  for (const Row& r : {
           Row{"the usual case", UsFacts, "c=USA&s=1024x768&w=102&v=3"},
           Row{"a wide screen of another system",
               {"DEU", 2560, 1440, 200},
               "c=DEU&s=2560x1440&w=200&v=3"},
           Row{"a locale without a country", {"", 800, 600, 102}, "c=&s=800x600&w=102&v=3"},
           Row{"a country that is not letters",
               {"A&B=C D", 1, 1, 1},
               "c=A%26B%3DC%20D&s=1x1&w=1&v=3"},
       }) {
    EXPECT_EQ(BannerQuery(r.Facts), r.Query) << r.Name;
  }
  EXPECT_EQ(BannerAddress("127.0.0.1:8080", UsFacts),
            "http://127.0.0.1:8080/baner.php?c=USA&s=1024x768&w=102&v=3");
  EXPECT_EQ(BannerLinkAddress("www.glyptika.example"), "http://www.glyptika.example?pr=kxr");
}

TEST(BannerAddresses, SiteEndpointIsWhereTheConnectionIsTried) {
  struct Row {
    const char* Site;
    std::optional<TSiteEndpoint> Endpoint;
  };
  for (const Row& r : {
           Row{"glyptika.example", TSiteEndpoint{"glyptika.example", 80}},
           Row{"127.0.0.1:8931", TSiteEndpoint{"127.0.0.1", 8931}},
           Row{"[::1]:8080", TSiteEndpoint{"::1", 8080}},
           Row{"[::1]", TSiteEndpoint{"::1", 80}},
           Row{"maker.example/glyptika", TSiteEndpoint{"maker.example", 80}},
           Row{"", std::nullopt},
           Row{":80", std::nullopt},
           Row{"host:", std::nullopt},
           Row{"host:0", std::nullopt},
           Row{"host:65536", std::nullopt},
           Row{"host:80x", std::nullopt},
           Row{"a:b:c", std::nullopt},
           Row{"[::1", std::nullopt},
           Row{"[::1]x", std::nullopt},
       }) {
    EXPECT_EQ(SiteEndpoint(r.Site), r.Endpoint) << r.Site;
  }
}

TEST(BannerAddresses, LoopbackHostsAreKnownByName) {
  for (const char* host : {"localhost", "127.0.0.1", "127.1.2.3", "::1"})
    EXPECT_TRUE(IsLoopbackHost(host)) << host;
  for (const char* host : {"glyptika.example", "127.0.0.1.example", "127.0.0", "127.0.0.256",
                           "128.0.0.1", "127..0.1", "127.0.0.1.", ""})
    EXPECT_FALSE(IsLoopbackHost(host)) << host;
}

TEST(BannerAddresses, ReservedNamesAreNeverLookedUp) {
  for (const char* host :
       {"glyptika.example", "GLYPTIKA.EXAMPLE.", "example", "x.invalid", "banner.test"})
    EXPECT_TRUE(HostNeverResolves(host)) << host;
  for (const char* host :
       {"glyptika.example.com", "example.org", "testing", "127.0.0.1", "::1", "contest", ""})
    EXPECT_FALSE(HostNeverResolves(host)) << host;
}

TEST(BannerCountry, LocaleNamesGiveTheThreeLetterCodeOfTheirTerritory) {
  struct Row {
    const char* Locale;
    const char* Country;
  };
  for (const Row& r :
       {Row{"en_US.UTF-8", "USA"}, Row{"en_US", "USA"}, Row{"de_DE@euro", "DEU"},
        Row{"sr_RS.UTF-8@latin", "SRB"}, Row{"pt_BR.ISO-8859-1", "BRA"}, Row{"en_GB", "GBR"},
        Row{"fr_CH", "CHE"}, Row{"ja_JP.eucJP", "JPN"}, Row{"zu_ZA", "ZAF"}, Row{"ca_AD", "AND"},
        Row{"C", ""}, Row{"POSIX", ""}, Row{"C.UTF-8", ""}, Row{"en", ""}, Row{"es_419", ""},
        Row{"xx_QQ", ""}, Row{"en_us", ""}, Row{"", ""}}) {
    EXPECT_EQ(CountryOfLocaleName(r.Locale), r.Country) << r.Locale;
  }
}

TEST(BannerCountry, SystemCountryFollowsTheEnvironmentsLocale) {
  // setenv rather than a saved copy: the test program's own locale variables are put back.
  struct TSavedVariable {
    const char* Name;
    std::optional<std::string> Value;
    explicit TSavedVariable(const char* N) : Name(N) {
      if (const char* v = std::getenv(N)) Value = v;
    }
    ~TSavedVariable() {
      if (Value)
        setenv(Name, Value->c_str(), 1);
      else
        unsetenv(Name);
    }
  } all("LC_ALL"), address("LC_ADDRESS"), lang("LANG");

  unsetenv("LC_ALL");
  unsetenv("LC_ADDRESS");
  setenv("LANG", "en_US.UTF-8", 1);
  EXPECT_EQ(SystemCountryCode(), "USA");
  setenv("LC_ADDRESS", "de_AT.UTF-8", 1);
  EXPECT_EQ(SystemCountryCode(), "AUT") << "the address category comes before LANG";
  setenv("LC_ALL", "fr_CA.UTF-8", 1);
  EXPECT_EQ(SystemCountryCode(), "CAN") << "LC_ALL comes before everything";
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(SystemCountryCode(), "");
}

} // namespace
