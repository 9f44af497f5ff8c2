// The report engine's built-in string table (ids 53000..55439). Ids that are not listed
// here read as the empty text. Texts are written in UTF-8 and handed out in 1251.
#include <algorithm>
#include <iterator>

#include "platform/core/AnsiText.h"

namespace {

struct Entry {
  int id;
  const char* text;
};

// Sorted by id.
constexpr Entry kTable[] = {
    {53000, "Поиск"},
    // The preview's find dialog.
    {53001, "Искать текст:"},
    {53002, "Параметры"},
    {53003, "Учитывать регистр"},
    {53004, "Начать поиск"},
    {53005, "С первой страницы"},
    {53006, "С текущего места"},
    {53020, "По ширине страницы"},
    {53021, "Страница целиком"},
    {53022, "Две страницы"},
    {53023, "Выход"},
    {53024, "Масштаб"},
    {53025, "Открыть отчет"},
    {53026, "Сохранить отчет в файле"},
    {53027, "Печать отчета"},
    {53028, "Поиск"},
    {53029, "Редактировать страницу"},
    {53030, "Добавить страницу"},
    {53031, "Удалить страницу"},
    {53032, "Показать справку"},
    // The print dialog.
    {53040, "Печать"},
    {53041, "Принтер"},
    {53042, "Свойства..."},
    {53043, "Копии"},
    {53044, "Страницы"},
    {53045, "Все"},
    {53046, "Текущая"},
    {53047, "Номера:"},
    {53048, "Номера страниц и диапазоны через запятую, например: 1,3,5-12"},
    {53049, "Имя:"},
    {53050, "Число копий:"},
    {53051, "Разобрать по копиям"},
    {53052, "Печатать:"},
    {53053, "Все страницы диапазона"},
    {53054, "Нечетные страницы"},
    {53055, "Четные страницы"},
    {54800, "Экспорт в TXT"},
    {54810, "Экспорт в CSV"},
    {54820, "Экспорт в RTF"},
    {54830, "Экспорт в HTML"},
    {55000, "OK"},
    {55001, "Отмена"},
    {55004, "Стр."},
    {55007, "Виртуальный принтер"},
    // Band type names, types 0..22.
    {55077, "Report title"},
    {55078, "Report summary"},
    {55079, "Page header"},
    {55080, "Page footer"},
    {55081, "Master header"},
    {55082, "Master data"},
    {55083, "Master footer"},
    {55084, "Detail header"},
    {55085, "Detail data"},
    {55086, "Detail footer"},
    {55087, "Subdetail header"},
    {55088, "Subdetail data"},
    {55089, "Subdetail footer"},
    {55090, "Overlay"},
    {55091, "Column header"},
    {55092, "Column footer"},
    {55093, "Group header"},
    {55094, "Group footer"},
    {55095, "Cross header"},
    {55096, "Cross data"},
    {55097, "Cross footer"},
    {55098, "Child"},
    {55099, "Нет"},
    // Boolean display formats: the false text and the true text.
    {55170, "0;1"},
    {55171, "Нет;Да"},
    {55172, "_;x"},
    {55173, "False;True"},
    // Date and time display formats.
    {55175, "dd.mm.yy"},
    {55176, "dd.mm.yyyy"},
    {55177, "d mmm yyyy"},
    {55178, "d mmmm yyyy"},
    {55179, "hh:nn:ss"},
    {55180, "h:nn:ss"},
    {55181, "hh:nn"},
    {55182, "h:nn"},
    {55199, "из"},
    {55200, "Возникла ошибка при обработке выражения"},
    {55201, "Документ:"},
    {55202, "Объект:"},
    {55203, "Подготовка отчета"},
    {55204, "Выполняется 1-й проход:"},
    {55205, "Формируется страница:"},
    {55206, "Ошибка"},
    {55207, "Предварительный просмотр"},
    {55208, "Печатается страница:"},
    {55209, "Untitled"},
    {55210, "Возникли проблемы с настройкой выбранного принтера."},
    {55211, "Файл отчета"},
    {55212, "Текстовый файл"},
    {55218, "Файл Rich Text"},
    {55219, "Файл CSV"},
    {55220, "Файл HTML"},
    {55334, "Шрифт..."},
    {55337, "204"},
    {55345, "Неверный RPF формат"},
    {55439, "Переменная не определена:"},
};

static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

}  // namespace

AnsiString rpBuiltinString(int id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, int key) { return e.id < key; });
  if (it == std::end(kTable) || it->id != id) return AnsiString();
  return Ansi(it->text);
}
