#include "planner/ration/RationRating.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/core/SysUtils.h"

namespace {

// Reference ratio protein : fat : carbohydrates.
constexpr double kRefFat = 1.2;
constexpr double kRefCarb = 4.6;

// Round half to even of a value that is a finite number well inside the 64-bit
// range; nothing for the quotient of a zero divisor or a corrupt value.
std::optional<std::int64_t> TryRound(double v) {
  if (!std::isfinite(v) || !(std::fabs(v) < 9.0e18)) return std::nullopt;
  return Round(v);
}

bool AllFinite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// The average day of a ration.
struct TAverageDay {
  std::int64_t Days = 0;
  std::int64_t Cal = 0;                 // Round(sum of Cal / n)
  std::optional<std::int64_t> Deficit;  // sum of Round(E - day Cal); none when E is no usable number
  // Round(sum / n) each: whole grams. A sum that is no finite number counts as 0.
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;
};

// Only records of day items count; nil entries are skipped.
TAverageDay AverageDay(const TDayRecs& days, double E) {
  TAverageDay a;
  std::int64_t sumCal = 0;
  double albA = 0, albV = 0, fatA = 0, fatV = 0, carb = 0;
  double deficit = 0;  // a sum of whole numbers, exact far beyond any real ration
  bool deficitKnown = true;
  for (const TFoodRec* day : days) {
    if (day == nullptr || day->Kind != fkDay) continue;
    ++a.Days;
    sumCal += day->Cal;
    albA += day->AlbA;
    albV += day->AlbV;
    fatA += day->FatA;
    fatV += day->FatV;
    carb += day->Carb;
    if (const auto dayDeficit = TryRound(E - day->Cal))
      deficit += static_cast<double>(*dayDeficit);
    else
      deficitKnown = false;
  }
  if (a.Days == 0) return a;
  const auto n = static_cast<double>(a.Days);
  a.Cal = Round(static_cast<double>(sumCal) / n);
  if (deficitKnown) a.Deficit = TryRound(deficit);
  const auto wholeGrams = [n](double sum) { return static_cast<double>(TryRound(sum / n).value_or(0)); };
  a.AlbA = wholeGrams(albA);
  a.AlbV = wholeGrams(albV);
  a.FatA = wholeGrams(fatA);
  a.FatV = wholeGrams(fatV);
  a.Carb = wholeGrams(carb);
  return a;
}

// min(S1, S2) of the summary: S1 judges the trip's total deficit against MaxAbsEnDef,
// S2 the average day against the lowest acceptable daily energy. None when either
// divisor (MaxAbsEnDef, MaxRelEnDef * E) is zero, when there is no positive energy
// expenditure to judge against (as for the verdict), or a value is no finite number.
std::optional<std::int64_t> EnergyScore(const TAverageDay& a, double E, const TRationLimits& limits) {
  const double relDivisor = limits.MaxRelEnDef * E;
  if (!(E > 0) || !a.Deficit || limits.MaxAbsEnDef == 0 || relDivisor == 0) return std::nullopt;
  const double s1 = 100 - 100 * static_cast<double>(*a.Deficit) / limits.MaxAbsEnDef;
  const double s2 = 100 * (static_cast<double>(a.Cal) - (1 - limits.MaxRelEnDef) * E) / relDivisor;
  if (!AllFinite({s1, s2})) return std::nullopt;
  return TryRound(std::min(s1, s2));
}

// 100 when the animal share of the protein reaches AlbAVmin, else the animal
// protein as a percentage of the amount that would reach it.
std::int64_t ProteinScore(double albA, double albV, double albAVmin) {
  if (albA <= 0) return 0;
  // AlbAVmin = 1 asks for animal protein only (the ratio below has no value there):
  // met exactly when there is no vegetable protein.
  if (albAVmin == 1) return albV <= 0 ? 100 : 0;
  const double lim = albAVmin / (1 - albAVmin) * albV;
  if (!std::isfinite(lim)) return 0;  // a limit that is no number gives no score
  if (albA >= lim) return 100;
  // Here 0 < albA < lim, so the quotient is below 100.
  return std::min<std::int64_t>(TryRound(100 * albA / lim).value_or(0), 100);
}

// The energy verdict, text[r][c] of the verdict table.
const char* const kVerdicts[3][4] = {
    {"Вернуться из похода толстым и красивым парнишей - что может быть лучше? Однако наука полагает, "
     "что для такого похода %d ККал/чел в сутки вполне достаточно.",
     "Вернуться из похода толстым и красивым парнишей - что может быть лучше? Однако наука полагает, "
     "что для такого похода %d ККал/чел в сутки вполне достаточно.",
     "ОШИБКА. Вы не должны получить этот комментарий. Если это все же случилось, пожалуйста, "
     "сообщите об этом автору программы, и отправьте ему данный рацион.",
     "ОШИБКА. Вы не должны получить этот комментарий. Если это все же случилось, пожалуйста, "
     "сообщите об этом автору программы, и отправьте ему данный рацион."},
    {"Вернуться из похода толстым и красивым парнишей - что может быть лучше? Однако наука полагает, "
     "что для такого похода %d ККал/чел в сутки вполне достаточно.",
     "Калорийность рациона в пределах нормы.",
     "Формально калорийность рациона в пределах нормы, однако близка к нижнему допустимому пределу. "
     "При этом непредвиденные задержки, длительные периоды плохой погоды и т.п. могут отрицательно "
     "сказаться на самочувствии и работоспособности участников. Чтобы подстраховаться на случай "
     "подобных обстоятельств, рекомендуется увеличить калорийность рациона до %d ККал.",
     "Калорийность рациона недопустимо низка. Суммарный энергодефицит за время похода составит %d ККал, "
     "что может поставить под угрозу здоровье и жизнедеятельность участников. Настоятельно "
     "рекомендуется увеличить калорийность рациона до %d ККал."},
    {"ОШИБКА. Вы не должны получить этот комментарий. Если это все же случилось, пожалуйста, "
     "сообщите об этом автору программы, и отправьте ему данный рацион.",
     "Калорийность рациона нежелательно низка. Использование данного рациона в группе, не "
     "подготовленной к низкокалорийному питанию, может создать проблемы. Рекомендуется увеличить "
     "калорийность рациона до %d ККал.",
     "Калорийность рациона нежелательно низка. Использование данного рациона в группе, не "
     "подготовленной к низкокалорийному питанию, может создать проблемы. Кроме того, велик риск того, "
     "что непредвиденные задержки, длительные периоды плохой погоды и т.п. осложнения могут "
     "отрицательно сказаться на самочувствии и работоспособности участников. Настоятельно "
     "рекомендуется увеличить калорийность рациона до %d ККал.",
     "Калорийность рациона недопустимо низка. Суммарный энергодефицит за время похода составит %d "
     "ККал. В сочетании с нежелательно низкой калорийностью суточного рациона это с высокой степенью "
     "вероятности может поставить под угрозу здоровье и жизнедеятельность участников. Настоятельно "
     "рекомендуется увеличить калорийность рациона как минимум до %d ККал."},
};

// The energy verdict line. None without a positive energy expenditure: there is
// nothing to judge against, and the verdict would advise a daily energy of zero or
// less. None either when a figure is no usable number. The verdict itself divides
// by nothing but the number of days.
std::optional<AnsiString> EnergyVerdict(const TAverageDay& a, double E, const TRationLimits& limits) {
  if (!(E > 0)) return std::nullopt;
  const auto roundE = TryRound(E);
  const auto lowest = TryRound(E * (1 - limits.MaxRelEnDef));
  if (!a.Deficit || !roundE || !lowest) return std::nullopt;
  const std::int64_t deficit = *a.Deficit;
  const auto d = static_cast<double>(deficit);

  int c;
  std::int64_t t;
  if (deficit < 0) {
    c = 1;
    t = *roundE;
  } else if (d < 0.5 * limits.MaxAbsEnDef) {
    c = 2;
    t = a.Cal;
  } else if (d < limits.MaxAbsEnDef) {
    c = 3;
    t = a.Cal;
  } else {
    c = 4;
    t = Round(d / static_cast<double>(a.Days)) + a.Cal + 1;
  }

  int r;
  std::int64_t w;
  if (static_cast<double>(a.Cal) > E) {
    r = 1;
    w = *roundE;
  } else if (a.Cal <= *lowest) {
    r = 3;
    w = *lowest + 1;
  } else {
    r = 2;
    w = *roundE;
  }
  t = std::max(t, w);

  const AnsiString text = Ansi(kVerdicts[r - 1][c - 1]);
  return c == 4 ? Format(text, {deficit, t}) : Format(text, {t});
}

void AddProteinFatCarbRatio(TStringList* lines, const TAverageDay& a, const TRationNorms& norms) {
  const double A = a.AlbA + a.AlbV, F = a.FatA + a.FatV, C = a.Carb;
  AddLine(lines, "");
  AddLine(lines, Ansi("СООТНОШЕНИЕ БЕЛКИ/ЖИРЫ/УГЛЕВОДЫ"));
  AddLine(lines, "");
  AddLine(lines, Ansi("По абсолютным значениям:"));
  AddLine(lines, Format(Ansi("  Для данного рациона : %4.2f / %4.2f /%4.2f"), {A, F, C}));
  AddLine(lines, Format(Ansi("        Рекомендуемое : %4.2f / %4.2f /%4.2f"), {norms.Pn, norms.Fn, norms.Cn}));
  AddLine(lines, "");
  AddLine(lines, Ansi("По соотношению весовых долей:"));
  int score = 0;
  AnsiString ratio;
  RatioString("%4.2f / %4.2f /%4.2f", score, ratio, A, F, C);
  if (ratio.empty())
    ratio = Ansi("кол-во белков жиров и углеводов в рационе недопустимо низко.Вычисление соотношения бессмысленно.");
  AddLine(lines, Ansi("  Для данного рациона :") + ratio);
  // The recommended shares are relative to the protein need: without one (Pn = 0)
  // they have no value, and the line is left out.
  if (norms.Pn != 0) {
    const double f = norms.Fn / norms.Pn, c = norms.Cn / norms.Pn;
    if (AllFinite({f, c}))
      AddLine(lines, Format(Ansi("        Рекомендуемое : %4.2f / %4.2f /%4.2f"), {norms.Pn / norms.Pn, f, c}));
  }
  AddLine(lines, "");
}

// Advice to bring the animal share of a nutrient to a limit.
AnsiString Advice(const char* head, const char* tail, const char* ofTotal, double limit) {
  return Ansi(head) + Ansi(tail) + Format(Ansi(ofTotal), {limit});
}

// A paragraph on the animal and vegetable parts of a nutrient, when there is any of
// it: the figures with the animal share, then the advice `advise` gives for that
// share. Both parts are whole grams, so a positive sum is at least 1.
template <class Advise>
void AddShareParagraph(TStringList* lines, double animal, double vegetable, const char* figures, Advise advise) {
  if (!(animal + vegetable > 0)) return;
  const double share = animal / (animal + vegetable);
  AddLine(lines, "");
  AddLine(lines, Format(Ansi(figures), {animal, vegetable, share}) + advise(share));
}

void AddAnimalVegetable(TStringList* lines, const TAverageDay& a, const TRationLimits& limits) {
  AddLine(lines, Ansi("СООТНОШЕНИЕ ЖИВОТНЫХ И РАСТИТЕЛЬНЫХ КОМПОНЕНТОВ"));
  AddShareParagraph(lines, a.AlbA, a.AlbV,
                    "Соотношение животных белков к растительным: %4.2f / %4.2f. Доля животных белков в общем "
                    "количестве белков ~ %4.2f.",
                    [&](double share) {
                      if (!(share < limits.AlbAVmin)) return AnsiString();
                      return Advice(" Рекомендуется изменить соотношение раст.и животных белков, ",
                                    "так чтобы доля животных белков была не ниже ",
                                    "%4.2f от общего количества белков.", limits.AlbAVmin);
                    });
  AddShareParagraph(lines, a.FatA, a.FatV,
                    "Соотношение животных жиров к растительным: %4.2f / %4.2f. Доля животных жиров в общем "
                    "количестве жиров ~ %4.2f.",
                    [&](double share) {
                      AnsiString advice;
                      if (share < limits.FatAVMin)
                        advice += Advice(" Рекомендуется изменить соотношение раст.и животных жиров,",
                                         " так чтобы доля животных жиров была не ниже ",
                                         "%4.2f от общего количества жиров.", limits.FatAVMin);
                      if (share > limits.FatAVmax)
                        advice += Advice(" Рекомендуется изменить соотношение раст.и животных жиров,",
                                         " так чтобы доля животных жиров не превышала ",
                                         "%4.2f от общего количества жиров.", limits.FatAVmax);
                      return advice;
                    });
}

}  // namespace

void RatioString(std::string_view Fmt, int& Score, AnsiString& Result, double A, double F, double C) {
  Score = 0;
  Result.clear();
  if (!(A + F + C >= 1)) return;  // too little to compare, or no number at all
  double base, dev;
  if (A >= 0.01) {
    base = A;
    dev = std::fabs(F / A - kRefFat) + std::fabs(C / A - kRefCarb);
  } else if (F >= 0.01) {
    base = F / kRefFat;
    dev = std::fabs(A / base - 1) + std::fabs(C / base - kRefCarb);
  } else if (C >= 0.01) {
    base = C / kRefCarb;
    dev = std::fabs(A / base - 1) + std::fabs(F / base - kRefFat);
  } else {
    return;  // the sum is at least 1, so one of the three is at least 0.01
  }
  const double a = A / base, f = F / base, c = C / base;
  if (!AllFinite({a, f, c, dev})) return;  // magnitudes at the edge of double: no ratio
  Result = Format(Fmt, {a, f, c});
  // Not clamped to 0: a poor ratio scores below zero. Only the int range bounds it.
  const double score = 100 - dev;
  Score = IsRoundable32(score) ? RoundInt32(score) : std::numeric_limits<int>::min();
}

void RateRationSummary(const TDayRecs& Days, AnsiString& Result, const TRationNorms& Norms,
                       const TRationLimits& Limits) {
  Result = "---";
  const TAverageDay a = AverageDay(Days, Norms.E);
  if (a.Days == 0 || a.Cal < 1) return;
  // An energy score that cannot be computed (a zero limit or E = 0) leaves "---".
  const auto energy = EnergyScore(a, Norms.E, Limits);
  if (!energy) return;
  Result = Format("%d:%d:%d", {*energy, 0, ProteinScore(a.AlbA, a.AlbV, Limits.AlbAVmin)});
}

void RateRation(const TDayRecs& Days, TStringList* Lines, const TRationNorms& Norms,
                const TRationLimits& Limits) {
  if (Lines == nullptr) return;
  Lines->Clear();
  const TAverageDay a = AverageDay(Days, Norms.E);
  if (a.Days == 0 || a.Cal < 1) {
    AddLine(Lines, Ansi("Сформируйте меню или продуктовую раскладку похода."));
    return;
  }
  AddLine(Lines, Ansi("ОЦЕНКА СРЕДНЕСУТОЧНОГО РАЦИОНА"));
  AddLine(Lines, "");
  AddLine(Lines, Ansi("КАЛОРИЙНОСТЬ"));
  AddLine(Lines, "");
  if (const auto verdict = EnergyVerdict(a, Norms.E, Limits)) AddLine(Lines, *verdict);
  AddProteinFatCarbRatio(Lines, a, Norms);
  AddAnimalVegetable(Lines, a, Limits);
}

void AddLine(TStringList* Lines, const AnsiString& Text) {
  if (Lines != nullptr) Lines->Add(Text);
}
