#include "render/Banner.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

namespace {

// ISO 3166-1: each entry the alpha-2 code and its alpha-3 code, sorted by alpha-2.
constexpr std::string_view Countries =
    "ADANDAEAREAFAFGAGATGAIAIAALALBAMARMAOAGOAQATAARARGASASMATAUT"
    "AUAUSAWABWAXALAAZAZEBABIHBBBRBBDBGDBEBELBFBFABGBGRBHBHRBIBDI"
    "BJBENBLBLMBMBMUBNBRNBOBOLBQBESBRBRABSBHSBTBTNBVBVTBWBWABYBLR"
    "BZBLZCACANCCCCKCDCODCFCAFCGCOGCHCHECICIVCKCOKCLCHLCMCMRCNCHN"
    "COCOLCRCRICUCUBCVCPVCWCUWCXCXRCYCYPCZCZEDEDEUDJDJIDKDNKDMDMA"
    "DODOMDZDZAECECUEEESTEGEGYEHESHERERIESESPETETHFIFINFJFJIFKFLK"
    "FMFSMFOFROFRFRAGAGABGBGBRGDGRDGEGEOGFGUFGGGGYGHGHAGIGIBGLGRL"
    "GMGMBGNGINGPGLPGQGNQGRGRCGSSGSGTGTMGUGUMGWGNBGYGUYHKHKGHMHMD"
    "HNHNDHRHRVHTHTIHUHUNIDIDNIEIRLILISRIMIMNININDIOIOTIQIRQIRIRN"
    "ISISLITITAJEJEYJMJAMJOJORJPJPNKEKENKGKGZKHKHMKIKIRKMCOMKNKNA"
    "KPPRKKRKORKWKWTKYCYMKZKAZLALAOLBLBNLCLCALILIELKLKALRLBRLSLSO"
    "LTLTULULUXLVLVALYLBYMAMARMCMCOMDMDAMEMNEMFMAFMGMDGMHMHLMKMKD"
    "MLMLIMMMMRMNMNGMOMACMPMNPMQMTQMRMRTMSMSRMTMLTMUMUSMVMDVMWMWI"
    "MXMEXMYMYSMZMOZNANAMNCNCLNENERNFNFKNGNGANINICNLNLDNONORNPNPL"
    "NRNRUNUNIUNZNZLOMOMNPAPANPEPERPFPYFPGPNGPHPHLPKPAKPLPOLPMSPM"
    "PNPCNPRPRIPSPSEPTPRTPWPLWPYPRYQAQATREREUROROURSSRBRURUSRWRWA"
    "SASAUSBSLBSCSYCSDSDNSESWESGSGPSHSHNSISVNSJSJMSKSVKSLSLESMSMR"
    "SNSENSOSOMSRSURSSSSDSTSTPSVSLVSXSXMSYSYRSZSWZTCTCATDTCDTFATF"
    "TGTGOTHTHATJTJKTKTKLTLTLSTMTKMTNTUNTOTONTRTURTTTTOTVTUVTWTWN"
    "TZTZAUAUKRUGUGAUMUMIUSUSAUYURYUZUZBVAVATVCVCTVEVENVGVGBVIVIR"
    "VNVNMVUVUTWFWLFWSWSMYEYEMYTMYTZAZAFZMZMBZWZWE";
constexpr std::size_t CountryEntry = 5;

std::string PercentEncoded(std::string_view Text) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : Text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += Hex[b >> 4];
      out += Hex[b & 15];
    }
  }
  return out;
}

std::string CountryOfTerritory(std::string_view Alpha2) {
  if (Alpha2.size() != 2) return {};
  std::size_t lo = 0, hi = Countries.size() / CountryEntry;
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    const std::string_view key = Countries.substr(mid * CountryEntry, 2);
    if (key == Alpha2) return std::string(Countries.substr(mid * CountryEntry + 2, 3));
    if (key < Alpha2)
      lo = mid + 1;
    else
      hi = mid;
  }
  return {};
}

} // namespace

std::string BannerQuery(const TBannerFacts& Facts) {
  return "c=" + PercentEncoded(Facts.Country) + "&s=" + std::to_string(Facts.ScreenWidth) + "x" +
         std::to_string(Facts.ScreenHeight) + "&w=" + std::to_string(Facts.VersionCode) + "&v=3";
}

std::string BannerAddress(std::string_view Site, const TBannerFacts& Facts) {
  return "http://" + std::string(Site) + "/baner.php?" + BannerQuery(Facts);
}

std::string BannerLinkAddress(std::string_view Site) {
  return "http://" + std::string(Site) + "?pr=kxr";
}

bool DocumentReplacesPicture(std::string_view Address) {
  return !Address.empty() && !Address.starts_with("res");
}

std::optional<TSiteEndpoint> SiteEndpoint(std::string_view Site) {
  Site = Site.substr(0, Site.find('/'));
  TSiteEndpoint end;
  std::string_view port;
  if (Site.starts_with('[')) {
    const std::size_t close = Site.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    end.Host = std::string(Site.substr(1, close - 1));
    const std::string_view rest = Site.substr(close + 1);
    if (!rest.empty()) {
      if (!rest.starts_with(':')) return std::nullopt;
      port = rest.substr(1);
    }
  } else {
    const std::size_t colon = Site.find(':');
    end.Host = std::string(Site.substr(0, colon));
    if (colon != std::string_view::npos) port = Site.substr(colon + 1);
    if (port.find(':') != std::string_view::npos) return std::nullopt;
  }
  if (end.Host.empty()) return std::nullopt;
  if (!port.empty() || Site.ends_with(':')) {
    int value = 0;
    const auto [last, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || last != port.data() + port.size() || value < 1 || value > 65535)
      return std::nullopt;
    end.Port = value;
  }
  return end;
}

bool IsLoopbackHost(std::string_view Host) {
  if (Host == "localhost" || Host == "::1") return true;
  if (!Host.starts_with("127.")) return false;
  // Four decimal parts, each 0 to 255.
  int parts = 0;
  for (std::size_t at = 0; at <= Host.size(); ++parts) {
    const std::size_t dot = std::min(Host.find('.', at), Host.size());
    int value = 0;
    const auto [last, error] = std::from_chars(Host.data() + at, Host.data() + dot, value);
    if (error != std::errc() || last != Host.data() + dot || value > 255) return false;
    at = dot + 1;
  }
  return parts == 4;
}

bool HostNeverResolves(std::string_view Host) {
  if (Host.ends_with('.')) Host.remove_suffix(1);
  const std::size_t dot = Host.rfind('.');
  std::string top(Host.substr(dot == std::string_view::npos ? 0 : dot + 1));
  for (char& c : top)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return top == "example" || top == "invalid" || top == "test";
}

std::string CountryOfLocaleName(std::string_view LocaleName) {
  LocaleName = LocaleName.substr(0, LocaleName.find_first_of(".@"));
  const std::size_t under = LocaleName.find('_');
  if (under == std::string_view::npos) return {};
  return CountryOfTerritory(LocaleName.substr(under + 1));
}

std::string SystemCountryCode() {
  if (const locale_t locale = newlocale(LC_ADDRESS_MASK, "", locale_t(nullptr))) {
    const char* ab3 = nl_langinfo_l(_NL_ADDRESS_COUNTRY_AB3, locale);
    std::string code = ab3 ? ab3 : "";
    freelocale(locale);
    if (!code.empty()) return code;
  }
  // A locale that is not installed still names its territory.
  for (const char* variable : {"LC_ALL", "LC_ADDRESS", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return CountryOfLocaleName(value);
  }
  return {};
}

TBanner::TBanner(IBannerView& View, IBannerConnection& Connection, IBannerShell& Shell,
                 IBannerClock& Clock, std::string Site, std::function<TBannerFacts()> Facts)
    : FView(View), FConnection(Connection), FShell(Shell), FClock(Clock), FSite(std::move(Site)),
      FFacts(std::move(Facts)) {}

void TBanner::Timer1Timer() {
  if (FView.PictureVisible() && !FBannerRequested) {
    FBannerRequested = true;
    FAttempting = true;
    // The answer decides between the request and the flash.
    FConnection.AttemptConnect([this](bool Connected) { Answered(Connected); });
    return;
  }
  Flash();
}

void TBanner::Answered(bool Connected) {
  if (!FAttempting) return;
  FAttempting = false;
  if (!Connected) {
    Flash();
    return;
  }
  FRequested = BannerAddress(FSite, FFacts ? FFacts() : TBannerFacts{});
  FView.ShowWebPanel();
  FView.Navigate(FRequested);
}

void TBanner::WebBrowserDocumentComplete(const std::string& Address) {
  if (!DocumentReplacesPicture(Address)) return;
  FView.HidePicture();
  FView.ShowSmallLink();
}

void TBanner::Flash() {
  FFlashing = true;
  const unsigned serial = ++FFlashSerial;
  PaintLink();
  FClock.After(BannerFlashMs, [this, serial] {
    if (serial != FFlashSerial) return;
    FFlashing = false;
    PaintLink();
  });
}

void TBanner::PaintLink() {
  FView.SetLinkColor(FHovered || FFlashing ? BannerLinkHotColor : BannerLinkColor);
}

void TBanner::LabelWWWMouseEnter() {
  FHovered = true;
  PaintLink();
}

void TBanner::LabelWWWMouseLeave() {
  FHovered = false;
  PaintLink();
}

void TBanner::LWWW2MouseEnter() {
  FView.SetSmallLinkUnderline(true);
}

void TBanner::LWWW2MouseLeave() {
  FView.SetSmallLinkUnderline(false);
}

void TBanner::LWWW2Click() {
  FShell.OpenAddress(BannerLinkAddress(FSite));
}
