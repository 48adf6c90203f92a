#include "TextTable.h"

#include <QDate>
#include <QHash>
#include <algorithm>
#include <array>

namespace {

// Leading and trailing blanks and "\r" line breaks are part of the layout of the windows.
constexpr TextRow Rows[] = {
    {"btnGo", u"Далее >", u"Next >"},
    {"SelCity", u"Выберите город:", u"Select the city:"},
    {"Copyright", u"© 2008-2024 ООО «Норвик». Все права защищены. E-mail:",
     u"© 2008-2024 Norvik Ltd. All rights reserved. E-mail:"},
    {"DevPhone", u", тел: +7 (812) 555-01-00.", u", ph: +7 (812) 555-01-00."},
    {"Site", u"Наш сайт:  www.tessara.example.org", u"Our web-site:  www.tessara.example.org"},
    {"Loading", u"Загрузка...", u"Loading..."},
    {"AgentIn", u"Представитель в г. ", u"Agent in "},
    {"Search", u"Ищем представителя в г. ", u"We searching an agent for "},
    {"TitleMain", u"ТЕССАРА", u"TESSARA"},
    {"NotInstalled", u"Не установлено ни одного города!\rХотите скачать нужный город сейчас?",
     u"You have not installed city!\rDo you want to download city now?"},
    {"DifVer", u"Несовпадают версии оболочки и базы данных города!",
     u"Shell and database have different versions!"},
    {"UpdateNow", u"Скачать новый выпуск сейчас?", u"Do you want to download update now?"},
    {"AppName", u"Тессара Гид:  ", u"Tessara Guide:  "},
    {"Tessara", u"Тессара", u"Tessara"},
    {"RaisedElsewhere", u"Тессара уже запущена на другом экране (%1); её окно выведено на передний план там.",
     u"Tessara is already running on another display (%1); its window was brought to the front there."},
    {"RunningNoAnswer", u"Тессара уже запущена, но не отвечает; её окно не удалось вывести на передний план.",
     u"Tessara is already running but does not answer; its window could not be brought to the front."},
    {"Lang", u"Выбор языка", u"Select language"},
    {"Options", u"Настройки", u"Options"},
    {"Cancel", u"Отмена", u"Cancel"},
    {"CPU", u" Снижение нагрузки на процессор", u" Lower CPU usage"},
    {"Aliasing", u" Не сглаживать объекты карты", u" Don't antialiasing"},
    {"3DOff", u" Не отображать высоту зданий (3D)", u" Don't show a building height (3D)"},
    {"Fly", u" Отключить \"перелет\" при смене объекта карты", u" Don't show animation of the map movement"},
    {"Contour", u" Убрать белый контур у номеров домов",
     u" Don't draw a white contour of the building number"},
    {"Frame", u"Выставлять рамку масштаба", u"Set the scale frame"},
    {"Center", u"от центра", u"from the center"},
    {"Corner", u"от угла", u"from a corner"},
    {"Position", u"Положение панели справочника", u"Position of the directory panel"},
    {"Left", u"Слева", u"Left"},
    {"Right", u"Справа", u"Right"},
    {"Mode", u"Способ отображения карты", u"Graphic mode"},
    {"Other", u"Прочее", u"Other"},
    {"Invert", u" Инвертировать колесо мыши", u" Invert the mouse wheel"},
    {"ShowTips", u" Показывать советы при запуске", u" Show tips at the directory launch"},
    {"Blink", u" Мигание объекта, найденного на карте", u" Blink of the found object"},
    {"Metro", u" Всегда отображать станции метро", u" Always show metro stations"},
    {"Autoupdate", u" Автоматическое обновление", u" Autoupdate the directory"},
    {"Econom", u" Экономичная печать", u" Economic print"},
    {"Autoscroll", u" Инерция при сдвиге карты", u" Inertial map movement"},
    {"Phonebook", u"Телефонный справочник", u"The phone book"},
    {"Colors", u"Изменить цвета объектов на карте", u"Change map colors"},
    {"Interface", u"Интерфейс", u"Interface"},
    {"Data", u"Данные", u"Data"},
    {"Phbook", u"Укажите внешний телефонный справочник", u"Enter outside phonebook"},
    {"ColorSetup", u"Настройка цветов объектов", u"Color settings"},
    {"Scheme", u"Цветовая схема:", u"Color scheme:"},
    {"Objects", u"Объекты", u"Objects"},
    {"Buildings", u"Здания", u"Buildings"},
    {"Fields", u"Территории", u"Territories"},
    {"Active", u"Выделенный объект:", u"Selected object:"},
    {"Found:", u"Найденный объект:", u"Found object:"},
    {"BusWay:", u"Автобусный маршрут:", u"Bus way:"},
    {"Meas", u"Рулетка:", u"Ruler:"},
    {"BusStop", u"Автобусная остановка:", u"Bus stop:"},
    {"Road", u"Дорога:", u"Road:"},
    {"Admin:", u"Административные:", u"Admin:"},
    {"Live", u"Жилые:", u"Living:"},
    {"School", u"Школы:", u"School:"},
    {"Kinder", u"Детские сады:", u"Kindergarten:"},
    {"Store", u"Гаражи, склады:", u"Garage, store:"},
    {"Other:", u"Прочие:", u"Other:"},
    {"Garden", u"Дачные:", u"Garden:"},
    {"Grass", u"Зеленые насаждения:", u"Grass:"},
    {"Cementary", u"Кладбища:", u"Cementery:"},
    {"Water", u"Водоёмы:", u"Water:"},
    {"Tips", u"Советы", u"Tips"},
    {"Close", u"Закрыть", u"Close"},
    {"NextTip", u"Следующий  >>", u"Next  >>"},
    {"Know", u"Знаете ли Вы, что ...", u"Do you know that ..."},
    {"Look",
     u"Подробнее об этой и других возможностях справочника Вы можете прочитать в Руководстве пользователя.",
     u"For additional information about this and other functions look to User manual."},
    {"Yes", u"Да", u"Yes"},
    {"No", u"Нет", u"No"},
    {"Finish", u"Завершение работы справочника", u"Finishing work with the directory"},
    {"SelAct", u"Выберите нужное действие.", u"Select an action."},
    {"Quit", u"Закрыть", u"Quit"},
    {"Change", u"Другой город", u"Change city"},
    {"Update", u"Обновление справочника", u"Update the directory"},
    {"Element", u"Элемент", u"Component"},
    {"Befor", u"Установлено", u"Installed"},
    {"After", u"Доступно", u"Accessible"},
    {"NeedUpdate", u"Обновить", u"Update"},
    {"Wait", u"Пожалуйста, подождите...", u"Please, wait..."},
    {"Downloading", u"Идет скачивание обновления.", u"Downloading."},
    {"ErrDownload",
     u"Не удалось скачать обновление. Попробуйте скачать вручную c сайта www.tessara.example.org.",
     u"Update failed. Please, try update from web-site www.tessara.example.org."},
    {"Callback", u"Обратная связь", u"Callback"},
    {"Send", u"Отправить", u"Send"},
    {"Developer", u"Разработчику", u"Developer"},
    {"Agent", u"Представителю", u"Agent"},
    {"Anketa", u"Анкета", u"Resume"},
    {"TellDev", u"Вы можете сообщить разработчику:", u"You can write to the developer about:"},
    {"Wishes", u"- свои пожелания по улучшению справочника;", u"- your wishes for a directory improvement;"},
    {"Malfunc", u"- о некорректном функционировании справочника;", u"- malfunction of the directory;"},
    {"Diff", u"- о несоответствии стоимости рекламы на сайте и у Представителя;",
     u"- price difference between the web-site and the agent;"},
    {"WantAgent", u"- о желании стать Представителем Тессара.", u"- wish to be an agent."},
    {"TellAgent", u"Вы можете сообщить Представителю в г.", u"You can write to an agent in "},
    {"Absent", u"- информацию отсутствующую в справочнике;", u"- information is absent in the directory;"},
    {"Incorrect", u"- об ошибочной информации в справочнике;", u"- incorrect information in the directory;"},
    {"Else", u"- другое.", u"- something else."},
    {"TitleOrg", u"Название организации:", u"Title of the organization:"},
    {"Web-site", u"Адрес веб-сайта:", u"Web-site:"},
    {"E-mail", u"Адрес эл. почты:", u"E-mail:"},
    {"Adr", u"Адреса, телефоны, факсы, график работы:", u"Addresses, phones, fax, schedule:"},
    {"Areas", u"Сферы деятельности согласно рубрикатору:", u"Rubrics from rubricator"},
    {"Writer", u"Ф.И.О. и телефон (и/или e-mail) заполняющего анкету:",
     u"Your name and contact information (phone/e-mail):"},
    {"Something", u"Может черкнёте пару строк?", u"May be write something?"},
    {"NoTitle", u"Не указано название организации!", u"Please, write title of organization!"},
    {"ErrSite", u"Недопустимый адрес сайта!", u"Incorrect domain name of web-site!"},
    {"ErrEmail", u"Недопустимый адрес почты!", u"Incorrect e-mail address!"},
    {"MyName", u"С уважением, ...", u"My name: ..."},
    {"MyMail", u"Мой e-mail: ...", u"My e-mail: ..."},
    {"Hello", u"Здравствуйте!", u"Hello!"},
    {"HelloDev", u"Уважаемые разработчики!", u"Hello, developers!"},
    {"BeAgent", u"Я хочу стать Вашим Представителем в городе ХХХ.", u"I wish to be your agent in city XXX."},
    {"Happend", u"В ходе работы со справочником произошло следующее:",
     u"During work with the directory happend following:"},
    {"Improve", u"Было бы неплохо, чтобы ...", u"Please, make that ..."},
    {"AbsInfo", u"Хочу сообщить Вам информацию, отсутствующую в справочнике:",
     u"I know information which absent in the directory:"},
    {"IncInfo", u"Сообщаю Вам о найденой неточности в справочнике:",
     u"I found incorrect information in the directory:"},
    {"Details", u"(Подробности) ...", u"(Details) ..."},
    {"ICQ", u"Номер ICQ:", u"ICQ number:"},
    {"Skype", u"Логин Skype:", u"Skype login:"},
    {"Facebook", u"Страницы в соц. сетях:", u"Internet pages:"},
    {"SearchEstate", u"Поиск", u"Search"},
    {"Favorite", u"Избранное", u"Favorites"},
    {"Remove", u"Удалить", u"Remove"},
    {"Printing", u"Печать", u"Print"},
    {"MakeFavorite", u"В избранное", u"Add to favorites"},
    {"Filter", u"Фильтр", u"Filter"},
    {"RoomCount", u"Количество комнат:", u"Number of rooms:"},
    {"Search_", u"Найти", u"Search"},
    {"FirstFloor", u"Не первый этаж", u"Not the first floor"},
    {"LastFloor", u"Не последний этаж", u"Not the last floor"},
    {"Balcon", u"Балкон", u"Balcony"},
    {"WC", u"Санузел", u"WC"},
    {"LowCost", u"Цена до:", u"Price up to:"},
    {"Rub", u"тыс. рублей", u"thousand rubles"},
    {"Dol", u"долларов", u"dollars"},
    {"Floor", u"Этаж", u"Floor"},
    {"NotFound", u"Ничего не найдено!", u"Nothing is found!"},
    {"NoMatter", u"не важно", u"no matter"},
    {"Comment", u"Комментарий", u"Comment"},
    {"Agentstvo", u"Агентство", u"Agency"},
    {"Cost", u"Цена", u"Price"},
    {"Square", u"Площадь", u"Area"},
    {"Comm", u"Примечание", u"Note"},
    {"Room.", u"Комн.", u"Rooms"},
    {"Address", u"Адрес", u"Address"},
    {"ShowOnMap", u"Показать на карте", u"Show on map"},
    {"Length", u"Измерение расстояния", u"Distance measuring"},
    {"Nodes", u"Показывать узлы", u"Show nodes"},
    {"FirstPoint", u"Укажите на карте первую точку отрезка", u"Set the start point of the line on map"},
    {"Distance", u"Расстояние: ", u"Distance: "},
    {"m", u" м", u" m"},
    {"km", u" км", u" km"},
    {"less5", u" (меньше 5 мин. пешком)", u" (less 5 min. on foot)"},
    {"min", u" мин.", u" min."},
    {"h", u" ч.", u" h."},
    {"foot", u" пешком", u" on foot"},
    {"Rubricator", u"Рубрикатор", u"Rubricator"},
    {"HideRubricator", u"Закрывать рубрикатор после выбора рубрики",
     u"Close the rubricator after a rubric is chosen"},
    {"Error", u"Ошибка", u"Error"},
    {"WorkArea", u"Сфера деятельности организации", u"Field of activity"},
    {"WorkAreas", u"Сферы деятельности организации", u"Fields of activity"},
    {"Article", u"Посмотреть статью", u"View article"},
    {"ShowWorkMap", u"Показать карту покрытия", u"Show responsibility zone"},
    {"Schedule", u"График работы", u"Operating schedule"},
    {"Days", u"     ПН       ВТ        СР       ЧТ        ПТ       СБ        ВС",
     u"     Mo       Tu        We       Th        Fr       Sa        Su"},
    {"24", u"круглосуточно", u"around the clock"},
    {"NoBreak", u"без перерывов", u"without interruption"},
    {"ShowWay", u"Показать маршрут", u"Show the route"},
    {"StopList", u"Остановки маршрута:", u"Route stops:"},
    {"Phone", u"Телефон", u"Phone"},
    {"Phones", u"Телефоны", u"Phones"},
    {"InWorkArea", u"В зоне обслуживания", u"In the service zone of"},
    {"Food", u"Кафе и рестораны", u"Cafes and restaurants"},
    {"Station", u"Станция", u"Station"},
    {"Stop", u"Остановка", u"Stop"},
    {"OrgInBuild", u" Организации в выбранном здании", u" Organizations in selected building"},
    {"FoundOrgs", u" Найденные организации", u" Found organizations"},
    {"OrgNotFound", u" Организации не найдены", u" Organization not found"},
    {"ObjNotFound", u" Объект не найден", u" Object not found"},
    {"RouteNotFound", u" Проезд не найден.", u" Route not found."},
    {"FoundRoutes", u" Найденные маршруты", u" Found routes"},
    {"PlaceFor", u"Здесь может быть Ваша реклама!", u"Good place for your advertisement!"},
    {"WorkNow", u"Работает сейчас", u"Open now"},
    {"web_exist", u"Есть веб-сайт", u"Has a web-site"},
    {"extended", u"Расширенный поиск", u"Extended search"},
    {"Minimap", u"Обзорная карта", u"Minimap"},
    {"Minimap2", u"Щелкните, чтобы перейти к этому месту карты", u"Click to move the map to this place"},
    {"MapTools", u"Показать или скрыть инструменты карты", u"Show or hide the map tools"},
    {"Street", u"Улица", u"Street"},
    {"Num", u"Дом:", u"House:"},
    {"Title", u"Название", u"Title"},
    {"ph/fax", u"Тел./факс:", u"Phone/fax:"},
    {"site/mail", u"Сайт/e-mail:", u"Site/e-mail:"},
    {"rubric", u"Рубрика:", u"Rubric:"},
    {"material", u"Материал", u"Material"},
    {"type", u"Назначение", u"Purpose"},
    {"region", u"Район", u"District"},
    {"BusWay", u"Маршрут:", u"Route:"},
    {"BusStop1", u"Откуда:", u"From:"},
    {"BusStop2", u"Куда:", u"To:"},
    {"Clear", u"Очистить", u"Clear"},
    {"FindWay", u"Найти проезд", u"Find a route"},
    {"FindOrg", u"Найти", u"Find"},
    {"FindObj", u"Найти", u"Find"},
    {"Found", u" Найдено:", u"  Found:"},
    {"ExpandAll", u"Развернуть все карточки", u"Expand all cards"},
    {"CollapseAll", u"Свернуть все карточки", u"Collapse all cards"},
    {"Mark", u"Показать или скрыть отметки на карте", u"Show or hide the marks on the map"},
    {"Prev", u"Предыдущий поиск", u"Previous search"},
    {"Next", u"Следующий поиск", u"Next search"},
    {"Copy", u"Копировать карточку", u"Copy the card"},
    {"PrintCard", u"Распечатать карточку", u"Print the card"},
    {"PrintAll", u"Распечатать все карточки", u"Print all cards"},
    {"Poster", u"Афиша", u"Poster"},
    {"Poster2", u"Афиша культурных событий города", u"Cultural events of the city"},
    {"InetNeed", u"(Необходимо подключение к сети Интернет)", u"(active Internet connection necessary)"},
    {"Admin", u"Администрация", u"Administration"},
    {"Admin2", u"Органы власти города", u"City authorities"},
    {"Notes", u"Объявления", u"Notes"},
    {"Notes2", u"Частные объявления", u"Private advertisements"},
    {"Weather", u"Погода", u"Weather"},
    {"Weather2", u"Прогноз погоды", u"Weather forecast"},
    {"News", u"Новости", u"News"},
    {"News2", u"Новости города", u"City news"},
    {"Phonebook2", u"Запуск внешнего телефонного справочника", u"Run the outside phone book"},
    {"Map", u"Карта", u"Map"},
    {"Map2", u"Вернуться к карте города", u"Back to the city map"},
    {"Estate", u"Недвижимость", u"Real estate"},
    {"Estate2", u"Поиск предложений недвижимости", u"Search of real estate offers"},
    {"Radius", u"Радиус", u"Radius"},
    {"Radius2", u"Поиск организаций в радиусе", u"Search of organizations within a radius"},
    {"Taxi", u"Такси", u"Taxi"},
    {"Taxi2", u"Службы заказа такси", u"Taxi services"},
    {"Emergency", u"Экстренные службы", u"Emergency"},
    {"Emergency2", u"Службы экстренного вызова", u"Emergency services"},
    {"Cafe", u"Кафе", u"Cafe"},
    {"Cafe2", u"Кафе, рестораны и столовые", u"Cafes, restaurants and canteens"},
    {"Bank", u"Банкоматы", u"Cash machines"},
    {"Bank2", u"Банкоматы рядом с выбранным местом", u"Cash machines near the chosen place"},
    {"3D", u"Отображение высоты зданий (F3)", u"Show building height (F3)"},
    {"3D2", u"Показать или скрыть высоту зданий", u"Show or hide the building heights"},
    {"Help", u"Помощь", u"Help"},
    {"Help2", u"Руководство пользователя (F1)", u"User manual (F1)"},
    {"Print", u"Печать", u"Print"},
    {"Print2", u"Печать фрагмента карты", u"Print a map fragment"},
    {"Ruler", u"Рулетка", u"Ruler"},
    {"Ruler2", u"Измерение расстояний на карте", u"Measure distances on the map"},
    {"Inc", u"Увеличить", u"Zoom in"},
    {"Inc2", u"Увеличить масштаб карты (+)", u"Zoom the map in (+)"},
    {"Dec", u"Уменьшить", u"Zoom out"},
    {"Dec2", u"Уменьшить масштаб карты (-)", u"Zoom the map out (-)"},
    {"FullMap", u"Вся карта", u"Full map"},
    {"FullMap2", u"Показать карту города целиком", u"Show the whole city map"},
    {"Transp", u"Транспорт", u"Transport"},
    {"Transp2", u"Поиск маршрутов общественного транспорта", u"Public transport search"},
    {"Options2", u"Настройки справочника", u"Directory options"},
    {"Criteria", u"Организации", u"Organizations"},
    {"Criteria2", u"Поиск организаций", u"Search of organizations"},
    {"Obj", u"Объекты", u"Objects"},
    {"Obj2", u"Поиск зданий и объектов карты", u"Search of buildings and map objects"},
    {"Rubricator2", u"Поиск организаций по рубрикам", u"Search of organizations by rubrics"},
    {"Update2", u"Скачать обновление справочника", u"Download an update of the directory"},
    {"Scale", u"Масштаб", u"Zoom to area"},
    {"Scale2", u"Увеличить выделенную область карты", u"Zoom to a selected area of the map"},
    {"Callback2", u"Написать разработчику или представителю", u"Write to the developer or the agent"},
    {"SelStop", u"Выбрать остановку на карте", u"Select the stop on the map"},
    {"EnterRoute", u"Введите номер маршрута", u"Enter the route number"},
    {"EnterStop", u"Введите название остановки", u"Enter the stop name"},
    {"EnterName", u"Введите название", u"Enter the title"},
    {"EnterRegion", u"Выберите район", u"Select the district"},
    {"EnterPurpose", u"Выберите назначение", u"Select the purpose"},
    {"EnterMaterial", u"Выберите материал", u"Select the material"},
    {"EnterBuildNum", u"Номер дома", u"House number"},
    {"EnterStreet", u"Введите название улицы", u"Enter the street"},
    {"EnterOrg", u"Введите название организации", u"Enter the organization"},
    {"EnterPhone", u"Введите номер телефона или факса", u"Enter the phone or fax number"},
    {"EnterField", u"Введите рубрику", u"Enter the rubric"},
    {"DataBook", u"              СПРАВОЧНИК ОРГАНИЗАЦИЙ", u"            THE ORGANIZATION DIRECTORY"},
    {"Taxi_", u"Службы заказа такси", u"Taxi services"},
    {"UnknownHeight", u"Извините, в базе данных этого города нет информации о высоте зданий.",
     u"Sorry, information about building height is absent in this city directory."},
    {"NotWork", u"Сейчас эта функция недоступна для данного города.",
     u"Sorry, this function is inaccessible for this city now."},
    {"MayBeUpdate", u"Возможно надо обновить справочник.", u"You need to update the directory may be."},
    {"PageStopped", u"Страница заняла слишком много памяти и остановлена.",
     u"The page took too much memory and was stopped."},
    {"PhonebookNotFound",
     u"Телефонный справочник не найден.\rПожалуйста, укажите расположение Вашего телефонного справочника.",
     u"Phonebook not found.\rPlease, enter location of your phonebook."},
    // Texts of this program beyond the designed ones.
    {"NoManual", u"Руководство пользователя не найдено. Оно должно лежать в папке:",
     u"The user manual is not found. It belongs in the folder:"},
    {"ManualByHand", u"Не удалось открыть руководство пользователя в браузере. Откройте его вручную:",
     u"No web browser opened the user manual. Please open it by hand:"},
    {"CityGone",
     u"Выбранный город больше не установлен.\rВыберите другой город из списка.",
     u"The selected city is no longer installed.\rPlease select another city from the list."},
    {"NoPrinterPdf", u"Принтер не установлен: печать в файл PDF", u"No printer is installed: printing to a PDF file"},
    // Public transport: journeys with one change, where no route runs directly.
    {"ChangeRoutes", u" Проезд с пересадкой", u" Journeys with a change"},
    {"ChangeAt", u"пересадка:", u"change at:"},
    // Map printing and the whole-city export.
    {"PrintNotStarted", u"Не удалось начать печать.", u"The print job could not be started."},
    {"PrintFailed", u"Принтер не принял страницу.", u"The printer did not take the page."},
    {"MapForPrint", u"Карта города целиком", u"The whole city map"},
    {"ExportProgress", u"Карта города записывается в файл…", u"Writing the city map to a file…"},
    {"ExportNoSpace", u"На диске не хватает места для карты: нужно %1 МБ, свободно %2 МБ.",
     u"The disk has no room for the map: it needs %1 MB, %2 MB are free."},
    {"ExportTooLarge", u"При этом масштабе карта слишком велика для файла этого вида.\rУменьшите масштаб или выберите PNG.",
     u"At this scale the map is too large for a file of this kind.\rZoom out or choose PNG."},
    {"ExportFailed", u"Карта не записана:", u"The map was not written:"},
    {"ExportDone", u"Карта записана в файл:", u"The map is written to the file:"},
    {"ExportFiles", u"Рисунки BMP (*.bmp);;Рисунки PNG (*.png)", u"BMP pictures (*.bmp);;PNG pictures (*.png)"},
    // Searches that find nothing say why.
    {"ObjNotInRadius", u" Объект не найден: поиск ограничен радиусом", u" Object not found: the search is limited to the radius"},
    {"QuickNoRubric", u"В справочнике этого города нет такой рубрики.", u"This city's directory has no such rubric."},
    {"QuickNotInRadius", u"Внутри радиуса поиска таких организаций нет. Уберите радиус, чтобы искать по всему городу.",
     u"There are none inside the search radius. Remove the radius to search the whole city."},
    {"QuickNone", u"В справочнике нет организаций этой рубрики.", u"The directory lists no organisations under this rubric."},
    // How a wait on the vendor's service ended: what failed, what was kept, what succeeded.
    {"ListsKept", u"Ничего не изменено: установленные города остались как были.",
     u"Nothing was changed: the installed cities stay as they were."},
    {"ComponentKept", u"Прежние файлы этого компонента остались как были.",
     u"The files installed before stay as they were."},
    {"UpdateInstalled", u"Установлено: %1.", u"Installed: %1."},
    {"NothingNew", u"Новых версий нет: всё установленное актуально.",
     u"Nothing new: everything installed is up to date."},
    {"Checking", u"Проверка обновлений...", u"Checking for updates..."},
    {"SearchCancelled", u"Поиск отменён; прежний список сохранён.",
     u"The search was cancelled; the previous list is kept."},
    {"ListKept", u"Прежний список сохранён.", u"The previous list is kept."},
    {"OffersFound", u"Найдено предложений: %1", u"Offers found: %1"},
    {"OtherCityOffer", u"Это предложение из города %1: показать его на карте можно, загрузив этот город.",
     u"This offer is in %1: load that city to show it on the map."},
    {"SavedTo", u"Сохранено в %1", u"Saved to %1"},
    {"Sending", u"Отправка сообщения...", u"Sending the message..."},
    {"NotSent", u"Сообщение не отправлено: %1\nТекст сохранён в окне, можно попробовать ещё раз.",
     u"The message was not sent: %1\nYour text is kept in the window; you can try again."},
    {"SendCancelled", u"Отправка отменена; сообщение не отправлено.",
     u"Sending was cancelled; the message was not sent."},
    {"Sent", u"Сообщение отправлено.", u"The message has been sent."},
};
static_assert(std::size(Rows) == 318);

constexpr std::array<std::array<const char16_t*, 2>, 12> Months = {{
    {u"январь", u"January"},
    {u"февраль", u"February"},
    {u"март", u"March"},
    {u"апрель", u"April"},
    {u"май", u"May"},
    {u"июнь", u"June"},
    {u"июль", u"July"},
    {u"август", u"August"},
    {u"сентябрь", u"September"},
    {u"октябрь", u"October"},
    {u"ноябрь", u"November"},
    {u"декабрь", u"December"},
}};

const int* boundShellLang = nullptr;

const QHash<QString, int>& Index() {
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        h.reserve(int(std::size(Rows)));
        for (int i = 0; i < int(std::size(Rows)); ++i)
            h.insert(QString::fromLatin1(Rows[i].key), i);
        return h;
    }();
    return index;
}

} // namespace

std::span<const TextRow> TextTable() {
    return Rows;
}

QString LangText(QStringView key, int shellLang) {
    const auto& index = Index();
    auto it = index.constFind(key.toString());
    if (it == index.constEnd()) return {};
    const TextRow& row = Rows[*it];
    return QString::fromUtf16(shellLang == LangEnglish ? row.en : row.ru);
}

QString LangText(QStringView key) {
    return LangText(key, CurrentShellLang());
}

QString WithLineBreaks(QString text) {
    return text.replace(u'\r', u'\n');
}

void BindShellLang(const int* shellLang) {
    boundShellLang = shellLang;
}

int CurrentShellLang() {
    return boundShellLang ? *boundShellLang : LangRussian;
}

QStringList LangNames() {
    return {QStringLiteral("Русский"), QStringLiteral("English")};
}

QString MonthName(int month, int shellLang) {
    if (month < 1 || month > 12) return {};
    return QString::fromUtf16(Months[month - 1][shellLang == LangEnglish ? 1 : 0]);
}

QString MainWindowCaption(const QString& cityName, const QString& releaseDate, int shellLang) {
    const QDate d = QDate::fromString(releaseDate, QStringLiteral("dd.MM.yyyy"));
    QString release;
    if (d.isValid()) release = MonthName(d.month(), shellLang) + u' ' + QString::number(d.year());
    return LangText(u"AppName", shellLang) + cityName + QStringLiteral("  (") + release + u')';
}

int LanguageHooks::OnShellLang(Hook relabel) {
    entries_.push_back({nextId_, false, std::move(relabel)});
    return nextId_++;
}

int LanguageHooks::OnDataLang(Hook refresh) {
    entries_.push_back({nextId_, true, std::move(refresh)});
    return nextId_++;
}

void LanguageHooks::Remove(int id) {
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

void LanguageHooks::ChangeShellLang() const {
    // A copy, so that a hook may register or remove hooks while running.
    const auto entries = entries_;
    for (const Entry& e : entries)
        if (!e.data && e.hook) e.hook();
}

void LanguageHooks::ChangeDataLang() const {
    const auto entries = entries_;
    for (const Entry& e : entries)
        if (e.data && e.hook) e.hook();
}
