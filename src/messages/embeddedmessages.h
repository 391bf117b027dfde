#pragma once
// The message catalogue compiled into the program: 16 languages and the default row, every
// text a zero-terminated run of 32-bit little-endian code units.

#include <bit>
#include <cstdint>
#include <string>

static_assert(sizeof(char32_t) == 4, "catalogue texts are 32-bit code units");
static_assert(std::endian::native == std::endian::little,
              "catalogue texts are stored as little-endian code units; char32_t literals are "
              "only that on a little-endian target");

// The two web pages the messages name, in one place. `region` is the language's site
// folder ("de/", "jp/", …), empty for the English pages.
#define NAIB_RUNTIME_DOWNLOAD_PAGE(region) U"https://www.halvex.example/" region "orvel/download/"
#define NAIB_SYSTEM_REQUIREMENTS_PAGE(region) \
  U"https://www.halvex.example/" region "orvel/system-requirements/"

namespace messages {

/// Number of texts of a row; index 0 to 10 (see MessageIndex in LocalizedStrings.h).
inline constexpr int kMessageCount = 11;
/// Rows searched by the language choice; the default row follows them.
inline constexpr int kLanguageRowCount = 16;
/// The row used when no preferred language matches: the English texts.
inline constexpr int kDefaultRow = 16;

struct EmbeddedMessageRow {
  const char* locale;  ///< compared with the user's language identifiers
  int32_t lcid;        ///< the language's Windows locale identifier; no lookup reads it
  const char32_t* messages[kMessageCount];
};

// Every row fills the eleven texts in this order: runtime not found, install failed, OK,
// Cancel, please wait, download failed, validation failed, verifying download, system
// unsupported, installing (title prefix), update disallowed.
//
// The source lines follow the stored texts' own line breaks around the address macros, which
// the formatter would reflow.
// clang-format off

inline constexpr const char32_t* kEnglish[kMessageCount] = {
    U"This application requires a version of Halvex Orvel which cannot be found.\n"
    U"Please download the latest version of the runtime from\n" NAIB_RUNTIME_DOWNLOAD_PAGE("")
    U",\nor contact the application author for an updated version.",
    U"Something went wrong trying to install this application.\n"
    U"Please install the latest version of Halvex Orvel from\n" NAIB_RUNTIME_DOWNLOAD_PAGE("")
    U" and then try again.",
    U"OK",
    U"Cancel",
    U"Please wait.",
    U"Unable to download Halvex Orvel. Make sure that you\u2019re connected to the network and "
    U"try again.",
    U"Unable to validate the downloaded version of Halvex Orvel.\n"
    U"Please install the latest version of Halvex Orvel from\n" NAIB_RUNTIME_DOWNLOAD_PAGE("")
    U",\nthen retry installing this application.",
    U"Verifying download...",
    U"This application requires an update to Halvex Orvel that is not available for your "
    U"system. Please view the <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("")
    U"'>system requirements</a> for Halvex Orvel and update your system accordingly.",
    U"Installing ",
    U"This application requires an update to Halvex Orvel but downloading that update on your "
    U"system is not allowed by your administrator. Please contact your administrator.",
};

inline constexpr const char32_t* kGerman[kMessageCount] = {
    U"Diese Anwendung benötigt eine Version von Halvex Orvel, die nicht gefunden wurde.\n"
    U"Bitte laden Sie die neueste Version der Laufzeitumgebung von\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("de/") U" herunter\noder wenden Sie sich an den Entwickler der "
    U"Anwendung, um eine aktualisierte Version zu erhalten.",
    U"Bei der Installation dieser Anwendung ist ein Fehler aufgetreten.\n"
    U"Bitte installieren Sie die neueste Halvex-Orvel-Version von\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("de/") U" und versuchen Sie es dann erneut.",
    U"OK",
    U"Abbrechen",
    U"Bitte warten.",
    U"Halvex Orvel kann nicht heruntergeladen werden. Stellen Sie sicher, dass Sie mit dem "
    U"Netzwerk verbunden sind, und versuchen Sie es erneut.",
    U"Die heruntergeladene Version von Halvex Orvel konnte nicht überprüft werden.\n"
    U"Bitte installieren Sie die neueste Halvex-Orvel-Version von\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("de/") U"\nund wiederholen Sie dann die Installation dieser "
    U"Anwendung.",
    U"Download wird überprüft...",
    U"Diese Anwendung benötigt ein Update von Halvex Orvel, das für Ihr System nicht verfügbar "
    U"ist. Bitte lesen Sie die <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("de/")
    U"'>Systemanforderungen</a> von Halvex Orvel und aktualisieren Sie Ihr System entsprechend.",
    U"Installation von ",
    U"Diese Anwendung benötigt ein Update von Halvex Orvel, aber Ihr Administrator erlaubt "
    U"nicht, dieses Update auf Ihr System herunterzuladen. Bitte wenden Sie sich an Ihren "
    U"Administrator.",
};

inline constexpr const char32_t* kSpanish[kMessageCount] = {
    U"Esta aplicación requiere una versión de Halvex Orvel que no se ha encontrado.\n"
    U"Descargue la versión más reciente del entorno de ejecución desde\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("es/") U"\no póngase en contacto con el desarrollador de la "
    U"aplicación para obtener una versión actualizada.",
    U"Se ha producido un error al instalar esta aplicación.\n"
    U"Instale la versión más reciente de Halvex Orvel desde\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("es/") U" y vuelva a intentarlo.",
    U"Aceptar",
    U"Cancelar",
    U"Espere.",
    U"No se puede descargar Halvex Orvel. Asegúrese de que está conectado a la red y vuelva a "
    U"intentarlo.",
    U"No se ha podido validar la versión descargada de Halvex Orvel.\n"
    U"Instale la versión más reciente de Halvex Orvel desde\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("es/") U"\ny vuelva a intentar instalar esta aplicación.",
    U"Verificando la descarga...",
    U"Esta aplicación requiere una actualización de Halvex Orvel que no está disponible para su "
    U"sistema. Consulte los <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("es/")
    U"'>requisitos del sistema</a> de Halvex Orvel y actualice su sistema en consecuencia.",
    U"Instalando ",
    U"Esta aplicación requiere una actualización de Halvex Orvel, pero su administrador no "
    U"permite descargar esa actualización en su sistema. Póngase en contacto con su "
    U"administrador.",
};

inline constexpr const char32_t* kFrench[kMessageCount] = {
    U"Cette application nécessite une version de Halvex Orvel qui est introuvable.\n"
    U"Veuillez télécharger la dernière version de l’environnement d’exécution à l’adresse\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("fr/") U",\nou contacter le développeur de l’application pour "
    U"obtenir une version à jour.",
    U"Une erreur s’est produite lors de l’installation de cette application.\n"
    U"Veuillez installer la dernière version de Halvex Orvel à partir de\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("fr/") U", puis réessayer.",
    U"OK",
    U"Annuler",
    U"Veuillez patienter.",
    U"Impossible de télécharger Halvex Orvel. Vérifiez que vous êtes connecté au réseau, puis "
    U"réessayez.",
    U"Impossible de valider la version téléchargée de Halvex Orvel.\n"
    U"Veuillez installer la dernière version de Halvex Orvel à partir de\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("fr/") U",\npuis relancer l’installation de cette application.",
    U"Téléchargement en cours de vérification...",
    U"Cette application nécessite une mise à jour de Halvex Orvel qui n’est pas disponible pour "
    U"votre système. Veuillez consulter la <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("fr/")
    U"'>configuration requise</a> de Halvex Orvel et mettre à jour votre système en "
    U"conséquence.",
    U"Installation en cours ",
    U"Cette application nécessite une mise à jour de Halvex Orvel, mais votre administrateur "
    U"n’autorise pas le téléchargement de cette mise à jour sur votre système. Veuillez "
    U"contacter votre administrateur.",
};

inline constexpr const char32_t* kItalian[kMessageCount] = {
    U"Questa applicazione richiede una versione di Halvex Orvel che non è stata trovata.\n"
    U"Scaricate la versione più recente del runtime da\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("it/") U",\noppure contattate lo sviluppatore dell’applicazione "
    U"per ottenere una versione aggiornata.",
    U"Si è verificato un errore durante l’installazione di questa applicazione.\n"
    U"Installate la versione più recente di Halvex Orvel da\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("it/") U" e riprovate.",
    U"OK",
    U"Annulla",
    U"Attendete.",
    U"Impossibile scaricare Halvex Orvel. Verificate di essere connessi alla rete e riprovate.",
    U"Impossibile verificare la versione scaricata di Halvex Orvel.\n"
    U"Installate la versione più recente di Halvex Orvel da\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("it/") U",\nquindi riprovate a installare questa applicazione.",
    U"Verifica del download...",
    U"Questa applicazione richiede un aggiornamento di Halvex Orvel che non è disponibile per il "
    U"vostro sistema. Consultate i <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("it/")
    U"'>requisiti di sistema</a> di Halvex Orvel e aggiornate il sistema di conseguenza.",
    U"Installazione ",
    U"Questa applicazione richiede un aggiornamento di Halvex Orvel, ma l’amministratore non "
    U"consente di scaricarlo sul vostro sistema. Contattate l’amministratore.",
};

inline constexpr const char32_t* kJapanese[kMessageCount] = {
    U"このアプリケーションに必要なバージョンの Halvex Orvel が見つかりません。\n"
    U"最新バージョンのランタイムを次の場所からダウンロードしてください：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("jp/")
    U"\nまたは、アプリケーションの開発元に更新版についてお問い合わせください。",
    U"このアプリケーションのインストール中に問題が発生しました。\n"
    U"最新バージョンの Halvex Orvel を次の場所からインストールしてください：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("jp/") U"\nその後、もう一度お試しください。",
    U"OK",
    U"キャンセル",
    U"お待ちください。",
    U"Halvex Orvel をダウンロードできません。ネットワークに接続されていることを確認して、もう一度"
    U"お試しください。",
    U"ダウンロードした Halvex Orvel を検証できませんでした。\n"
    U"最新バージョンの Halvex Orvel を次の場所からインストールしてください：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("jp/") U"\nその後、このアプリケーションのインストールをやり直して"
    U"ください。",
    U"ダウンロードを確認しています...",
    U"このアプリケーションには Halvex Orvel のアップデートが必要ですが、お使いのシステムでは利用"
    U"できません。Halvex Orvel の<a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("jp/")
    U"'>システム要件</a>を確認し、システムを適切にアップデートしてください。",
    U"インストール中：",
    U"このアプリケーションには Halvex Orvel のアップデートが必要ですが、お使いのシステムへの"
    U"アップデートのダウンロードは管理者によって許可されていません。管理者にお問い合わせください。",
};

inline constexpr const char32_t* kKorean[kMessageCount] = {
    U"이 애플리케이션에 필요한 Halvex Orvel 버전을 찾을 수 없습니다.\n"
    U"다음 위치에서 최신 버전의 런타임을 다운로드하십시오.\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("kr/")
    U"\n또는 애플리케이션 개발자에게 업데이트된 버전을 문의하십시오.",
    U"이 애플리케이션을 설치하는 중에 문제가 발생했습니다.\n"
    U"다음 위치에서 최신 버전의 Halvex Orvel을 설치하십시오.\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("kr/") U"\n그런 다음 다시 시도하십시오.",
    U"확인",
    U"취소",
    U"잠시 기다려 주십시오.",
    U"Halvex Orvel을 다운로드할 수 없습니다. 네트워크에 연결되어 있는지 확인한 후 다시 "
    U"시도하십시오.",
    U"다운로드한 Halvex Orvel 버전의 유효성을 확인할 수 없습니다.\n"
    U"다음 위치에서 최신 버전의 Halvex Orvel을 설치하십시오.\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("kr/") U"\n그런 다음 이 애플리케이션을 다시 설치하십시오.",
    U"다운로드 확인 중...",
    U"이 애플리케이션에는 Halvex Orvel 업데이트가 필요하지만 사용 중인 시스템에서는 업데이트를 "
    U"사용할 수 없습니다. Halvex Orvel의 <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("kr/")
    U"'>시스템 요구 사항</a>을 확인하고 시스템을 적절히 업데이트하십시오.",
    U"설치 중 ",
    U"이 애플리케이션에는 Halvex Orvel 업데이트가 필요하지만 관리자가 이 시스템에서 해당 "
    U"업데이트의 다운로드를 허용하지 않습니다. 관리자에게 문의하십시오.",
};

inline constexpr const char32_t* kPortuguese[kMessageCount] = {
    U"Este aplicativo requer uma versão do Halvex Orvel que não foi encontrada.\n"
    U"Baixe a versão mais recente do ambiente de execução em\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("br/") U"\nou entre em contato com o desenvolvedor do aplicativo "
    U"para obter uma versão atualizada.",
    U"Ocorreu um erro ao instalar este aplicativo.\n"
    U"Instale a versão mais recente do Halvex Orvel a partir de\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("br/") U" e tente novamente.",
    U"OK",
    U"Cancelar",
    U"Aguarde.",
    U"Não foi possível baixar o Halvex Orvel. Verifique se você está conectado à rede e tente "
    U"novamente.",
    U"Não foi possível validar a versão baixada do Halvex Orvel.\n"
    U"Instale a versão mais recente do Halvex Orvel a partir de\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("br/") U"\ne tente instalar este aplicativo novamente.",
    U"Verificando o download...",
    U"Este aplicativo requer uma atualização do Halvex Orvel que não está disponível para o seu "
    U"sistema. Consulte os <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("br/")
    U"'>requisitos do sistema</a> do Halvex Orvel e atualize o seu sistema conforme necessário.",
    U"Instalando  ",
    U"Este aplicativo requer uma atualização do Halvex Orvel, mas o administrador não permite "
    U"o download dessa atualização no seu sistema. Entre em contato com o administrador.",
};

inline constexpr const char32_t* kRussian[kMessageCount] = {
    U"Для этого приложения требуется версия Halvex Orvel, которую не удалось найти.\n"
    U"Скачайте последнюю версию среды выполнения с сайта\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("ru/") U"\nили обратитесь к разработчику приложения за "
    U"обновлённой версией.",
    U"При установке этого приложения произошла ошибка.\n"
    U"Установите последнюю версию Halvex Orvel с сайта\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("ru/") U" и повторите попытку.",
    U"OK",
    U"Отмена",
    U"Подождите...",
    U"Не удалось скачать Halvex Orvel. Убедитесь, что компьютер подключён к сети, и повторите "
    U"попытку.",
    U"Не удалось проверить скачанную версию Halvex Orvel.\n"
    U"Установите последнюю версию Halvex Orvel с сайта\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("ru/") U",\nа затем повторите установку этого приложения.",
    U"Проверка загрузки...",
    U"Для этого приложения требуется обновление Halvex Orvel, недоступное для вашей системы. "
    U"Ознакомьтесь с <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("ru/")
    U"'>системными требованиями</a> Halvex Orvel и обновите систему соответствующим образом.",
    U"Установка...",
    U"Для этого приложения требуется обновление Halvex Orvel, но администратор не разрешает "
    U"скачивать это обновление на ваш компьютер. Обратитесь к администратору.",
};

inline constexpr const char32_t* kChineseSimplified[kMessageCount] = {
    U"找不到此应用程序所需的 Halvex Orvel 版本。\n"
    U"请从以下网址下载最新版本的运行时环境：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("cn/") U"\n或与应用程序开发者联系以获取更新的版本。",
    U"安装此应用程序时出现问题。\n"
    U"请从以下网址安装最新版本的 Halvex Orvel：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("cn/") U"\n然后重试。",
    U"确定",
    U"取消",
    U"请稍候。",
    U"无法下载 Halvex Orvel。请确保您已连接到网络，然后重试。",
    U"无法验证已下载的 Halvex Orvel 版本。\n"
    U"请从以下网址安装最新版本的 Halvex Orvel：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("cn/") U"\n然后重新安装此应用程序。",
    U"正在验证下载...",
    U"此应用程序需要 Halvex Orvel 的更新，但该更新不适用于您的系统。请查看 Halvex Orvel 的"
    U"<a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("cn/")
    U"'>系统要求</a>，并相应地更新您的系统。",
    U"正在安装 ",
    U"此应用程序需要 Halvex Orvel 的更新，但您的管理员不允许在您的系统上下载该更新。请与您的"
    U"管理员联系。",
};

inline constexpr const char32_t* kChineseTraditional[kMessageCount] = {
    U"找不到此應用程式所需的 Halvex Orvel 版本。\n"
    U"請從以下網址下載最新版本的執行環境：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("tw/") U"\n或與應用程式開發人員聯絡以取得更新的版本。",
    U"安裝此應用程式時發生問題。\n"
    U"請從以下網址安裝最新版本的 Halvex Orvel：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("tw/") U"\n然後再試一次。",
    U"確定",
    U"取消",
    U"請稍候。",
    U"無法下載 Halvex Orvel。請確定您已連線到網路，然後再試一次。",
    U"無法驗證已下載的 Halvex Orvel 版本。\n"
    U"請從以下網址安裝最新版本的 Halvex Orvel：\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("tw/") U"\n然後重新安裝此應用程式。",
    U"正在驗證下載...",
    U"此應用程式需要 Halvex Orvel 的更新，但該更新不適用於您的系統。請檢視 Halvex Orvel 的"
    U"<a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("tw/")
    U"'>系統需求</a>，並據此更新您的系統。",
    U"正在安裝  ",
    U"此應用程式需要 Halvex Orvel 的更新，但您的管理員不允許在您的系統上下載該更新。請與您的"
    U"管理員聯絡。",
};

inline constexpr const char32_t* kCzech[kMessageCount] = {
    U"Tato aplikace vyžaduje verzi prostředí Halvex Orvel, kterou se nepodařilo najít.\n"
    U"Stáhněte si nejnovější verzi běhového prostředí z adresy\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("cz/") U"\nnebo požádejte vývojáře aplikace o aktualizovanou "
    U"verzi.",
    U"Při instalaci této aplikace došlo k chybě.\n"
    U"Nainstalujte nejnovější verzi prostředí Halvex Orvel z adresy\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("cz/") U" a zkuste to znovu.",
    U"OK",
    U"Zrušit",
    U"Počkejte prosím.",
    U"Prostředí Halvex Orvel nelze stáhnout. Ujistěte se, že jste připojeni k síti, a zkuste to "
    U"znovu.",
    U"Staženou verzi prostředí Halvex Orvel nelze ověřit.\n"
    U"Nainstalujte nejnovější verzi prostředí Halvex Orvel z adresy\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("cz/") U"\na poté zkuste tuto aplikaci nainstalovat znovu.",
    U"Ověřování stažení...",
    U"Tato aplikace vyžaduje aktualizaci prostředí Halvex Orvel, která pro váš systém není "
    U"k dispozici. Prostudujte si <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("cz/")
    U"'>systémové požadavky</a> prostředí Halvex Orvel a podle nich aktualizujte svůj systém.",
    U"Instalace\u2026 ",
    U"Tato aplikace vyžaduje aktualizaci prostředí Halvex Orvel, ale správce nepovoluje stažení "
    U"této aktualizace do vašeho systému. Obraťte se na svého správce.",
};

inline constexpr const char32_t* kDutch[kMessageCount] = {
    U"Voor dit programma is een versie van Halvex Orvel vereist die niet kan worden gevonden.\n"
    U"Download de nieuwste versie van de runtime via\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("nl/") U",\nof neem contact op met de ontwikkelaar van het "
    U"programma voor een bijgewerkte versie.",
    U"Er is iets misgegaan bij het installeren van dit programma.\n"
    U"Installeer de nieuwste versie van Halvex Orvel via\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("nl/") U" en probeer het opnieuw.",
    U"OK",
    U"Annuleren",
    U"Een ogenblik geduld...",
    U"Kan Halvex Orvel niet downloaden. Controleer of u met het netwerk bent verbonden en "
    U"probeer het opnieuw.",
    U"Kan de gedownloade versie van Halvex Orvel niet valideren.\n"
    U"Installeer de nieuwste versie van Halvex Orvel via\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("nl/")
    U"\nen probeer dit programma daarna opnieuw te installeren.",
    U"Download controleren...",
    U"Voor dit programma is een update van Halvex Orvel vereist die niet beschikbaar is voor uw "
    U"systeem. Bekijk de <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("nl/")
    U"'>systeemvereisten</a> voor Halvex Orvel en werk uw systeem zo nodig bij.",
    U"Installeren\u2026",
    U"Voor dit programma is een update van Halvex Orvel vereist, maar uw beheerder staat het "
    U"downloaden van die update op uw systeem niet toe. Neem contact op met uw beheerder.",
};

inline constexpr const char32_t* kPolish[kMessageCount] = {
    U"Ta aplikacja wymaga wersji Halvex Orvel, której nie znaleziono.\n"
    U"Pobierz najnowszą wersję środowiska wykonawczego ze strony\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("pl/") U"\nlub skontaktuj się z twórcą aplikacji, aby uzyskać "
    U"zaktualizowaną wersję.",
    U"Podczas instalowania tej aplikacji wystąpił błąd.\n"
    U"Zainstaluj najnowszą wersję Halvex Orvel ze strony\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("pl/") U" i spróbuj ponownie.",
    U"OK",
    U"Anuluj",
    U"Czekaj.",
    U"Nie można pobrać Halvex Orvel. Upewnij się, że masz połączenie z siecią, i spróbuj "
    U"ponownie.",
    U"Nie można zweryfikować pobranej wersji Halvex Orvel.\n"
    U"Zainstaluj najnowszą wersję Halvex Orvel ze strony\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("pl/") U",\na następnie ponów instalację tej aplikacji.",
    U"Sprawdzanie poprawności pobranego pliku...",
    U"Ta aplikacja wymaga aktualizacji Halvex Orvel, która nie jest dostępna dla Twojego "
    U"systemu. Zapoznaj się z <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("pl/")
    U"'>wymaganiami systemowymi</a> Halvex Orvel i odpowiednio zaktualizuj system.",
    U"Instalowanie ",
    U"Ta aplikacja wymaga aktualizacji Halvex Orvel, ale administrator nie zezwala na pobranie "
    U"tej aktualizacji na Twój komputer. Skontaktuj się z administratorem.",
};

inline constexpr const char32_t* kSwedish[kMessageCount] = {
    U"Det här programmet kräver en version av Halvex Orvel som inte hittades.\n"
    U"Hämta den senaste versionen av körmiljön från\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("se/") U"\neller kontakta programmets utvecklare för att få en "
    U"uppdaterad version.",
    U"Något gick fel när programmet skulle installeras.\n"
    U"Installera den senaste versionen av Halvex Orvel från\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("se/") U" och försök sedan igen.",
    U"OK",
    U"Avbryt",
    U"Vänta.",
    U"Det går inte att hämta Halvex Orvel. Kontrollera att du är ansluten till nätverket och "
    U"försök igen.",
    U"Det gick inte att verifiera den hämtade versionen av Halvex Orvel.\n"
    U"Installera den senaste versionen av Halvex Orvel från\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("se/") U"\noch försök sedan installera programmet igen.",
    U"Verifierar hämtning...",
    U"Det här programmet kräver en uppdatering av Halvex Orvel som inte är tillgänglig för ditt "
    U"system. Läs <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("se/")
    U"'>systemkraven</a> för Halvex Orvel och uppdatera systemet i enlighet med dem.",
    U"Installerar  ",
    U"Det här programmet kräver en uppdatering av Halvex Orvel, men administratören tillåter "
    U"inte att uppdateringen hämtas till ditt system. Kontakta administratören.",
};

inline constexpr const char32_t* kTurkish[kMessageCount] = {
    U"Bu uygulama, bulunamayan bir Halvex Orvel sürümü gerektiriyor.\n"
    U"Çalışma zamanının en son sürümünü şu adresten indirin:\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("tr/")
    U"\nveya güncellenmiş bir sürüm için uygulamanın geliştiricisine başvurun.",
    U"Bu uygulama yüklenirken bir sorun oluştu.\n"
    U"Halvex Orvel’in en son sürümünü şu adresten yükleyin:\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("tr/") U"\nve ardından yeniden deneyin.",
    U"OK",
    U"İptal",
    U"Lütfen bekleyin.",
    U"Halvex Orvel indirilemiyor. Ağa bağlı olduğunuzdan emin olun ve yeniden deneyin.",
    U"İndirilen Halvex Orvel sürümü doğrulanamadı.\n"
    U"Halvex Orvel’in en son sürümünü şu adresten yükleyin:\n"
    NAIB_RUNTIME_DOWNLOAD_PAGE("tr/") U"\nve ardından bu uygulamayı yeniden yüklemeyi deneyin.",
    U"İndirme doğrulanıyor...",
    U"Bu uygulama, sisteminiz için kullanılamayan bir Halvex Orvel güncellemesi gerektiriyor. "
    U"Lütfen Halvex Orvel’in <a href='" NAIB_SYSTEM_REQUIREMENTS_PAGE("tr/")
    U"'>sistem gereksinimlerini</a> inceleyin ve sisteminizi buna göre güncelleyin.",
    U"Yükleniyor ",
    U"Bu uygulama bir Halvex Orvel güncellemesi gerektiriyor, ancak yöneticiniz bu güncellemenin "
    U"sisteminize indirilmesine izin vermiyor. Lütfen yöneticinize başvurun.",
};

#define NAIB_PAGES_OF(region) NAIB_RUNTIME_DOWNLOAD_PAGE(region), NAIB_SYSTEM_REQUIREMENTS_PAGE(region)

/// Every web address the texts name: the runtime download page and the system-requirements
/// page of each language's site folder. Windows make exactly these clickable where a text
/// names one as plain text.
inline constexpr const char32_t* kCatalogueAddresses[] = {
    NAIB_PAGES_OF(""),    NAIB_PAGES_OF("de/"), NAIB_PAGES_OF("es/"), NAIB_PAGES_OF("fr/"),
    NAIB_PAGES_OF("it/"), NAIB_PAGES_OF("jp/"), NAIB_PAGES_OF("kr/"), NAIB_PAGES_OF("br/"),
    NAIB_PAGES_OF("ru/"), NAIB_PAGES_OF("cn/"), NAIB_PAGES_OF("tw/"), NAIB_PAGES_OF("cz/"),
    NAIB_PAGES_OF("nl/"), NAIB_PAGES_OF("pl/"), NAIB_PAGES_OF("se/"), NAIB_PAGES_OF("tr/"),
};

#undef NAIB_PAGES_OF

#define NAIB_ROW(locale, lcid, texts)                                                       \
  EmbeddedMessageRow {                                                                      \
    locale, lcid, {                                                                         \
      texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6], texts[7],       \
          texts[8], texts[9], texts[10]                                                     \
    }                                                                                       \
  }

/// The catalogue: rows 0 to 15 are searched in this order; row 16 is the default row and
/// shares the English texts.
inline constexpr EmbeddedMessageRow allMessages[kDefaultRow + 1] = {
    NAIB_ROW("de", 0x407, kGerman),
    NAIB_ROW("en", 0x409, kEnglish),
    NAIB_ROW("es", 0xC0A, kSpanish),
    NAIB_ROW("fr", 0x40C, kFrench),
    NAIB_ROW("it", 0x410, kItalian),
    NAIB_ROW("ja", 0x411, kJapanese),
    NAIB_ROW("ko", 0x412, kKorean),
    NAIB_ROW("pt", 0x416, kPortuguese),
    NAIB_ROW("ru", 0x419, kRussian),
    NAIB_ROW("zh-Hans", 0x804, kChineseSimplified),
    NAIB_ROW("zh-Hant", 0x404, kChineseTraditional),
    NAIB_ROW("cs", 0x405, kCzech),
    NAIB_ROW("nl", 0x413, kDutch),
    NAIB_ROW("pl", 0x415, kPolish),
    NAIB_ROW("sv", 0x41D, kSwedish),
    NAIB_ROW("tr", 0x41F, kTurkish),
    NAIB_ROW("", 0, kEnglish),
};

#undef NAIB_ROW
// clang-format on

/// The text's code units before its zero unit, as UTF-8. A unit that is no Unicode scalar
/// value (a surrogate, or above U+10FFFF) becomes U+FFFD; a null text gives "".
std::string wchartoNSString(const char32_t* text);

}  // namespace messages
