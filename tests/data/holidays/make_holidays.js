// Regenerates the shipped holiday arrangements (data/holidays/YYYY.txt) and
// the day-by-day fixture (tests/data/holidays/days_2004_2026.txt) from the
// npm package chinese-days (MIT), checked against the statutory rules and
// corrected where it breaks them. Run once by hand; the build and CI only
// read the committed text files and never need Node.js.
//
//   mkdir -p /tmp/holfix && cd /tmp/holfix && npm install chinese-days@1.5.7
//   cd <source tree> && NODE_PATH=/tmp/holfix/node_modules node tests/data/holidays/make_holidays.js
//
// Every correction is printed on stderr and written as a comment into the
// year's file, so the difference from the package stays visible.
'use strict';
const fs = require('fs');
const path = require('path');
const cd = require('chinese-days');

const FIRST = 2004, LAST = 2026;
const root = path.resolve(__dirname, '..', '..', '..');

const NAMES = {
  元旦: '元旦', 春节: '春节', 清明: '清明节', 劳动节: '劳动节', 端午: '端午节', 中秋: '中秋节', 国庆节: '国庆节',
  中国人民抗日战争暨世界反法西斯战争胜利70周年纪念日: '抗战胜利纪念日',
};

const pad = (n) => String(n).padStart(2, '0');
const iso = (d) => `${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())}`;
const day = (s) => new Date(`${s}T00:00:00Z`);
const addDays = (s, n) => { const d = day(s); d.setUTCDate(d.getUTCDate() + n); return iso(d); };
const weekday = (s) => day(s).getUTCDay();  // 0 Sunday
const isWeekend = (s) => weekday(s) === 0 || weekday(s) === 6;

// The statutory days of year y by rule, date -> festival, from the
// package's own lunar calendar and solar terms.
function statutory(y) {
  const out = new Map();
  const add = (s, name) => out.set(s, name);
  const lunar = (s) => cd.getLunarDate(s);
  add(`${y}-01-01`, '元旦');
  for (let s = `${y}-01-01`; s <= `${y}-12-31`; s = addDays(s, 1)) {
    const l = lunar(s);
    const next = lunar(addDays(s, 1));
    const eve = next.lunarMon === 1 && next.lunarDay === 1 && !next.isLeap;
    if (!l.isLeap && l.lunarMon === 1 && l.lunarDay <= 3) {
      if (y < 2008 || y >= 2014 || l.lunarDay <= 2) add(s, '春节');
    }
    if (eve && y >= 2008 && (y <= 2013 || y >= 2025)) add(s, '春节');
    if (y >= 2008 && !l.isLeap && l.lunarMon === 5 && l.lunarDay === 5) add(s, '端午节');
    if (y >= 2008 && !l.isLeap && l.lunarMon === 8 && l.lunarDay === 15) add(s, '中秋节');
  }
  if (y >= 2008) {
    const terms = cd.getSolarTerms(`${y}-04-01`, `${y}-04-30`).filter((t) => t.name === '清明');
    if (terms.length !== 1) throw new Error(`no 清明 in ${y}`);
    add(terms[0].date, '清明节');
  }
  const may = y < 2008 ? 3 : y < 2025 ? 1 : 2;
  for (let d = 1; d <= may; ++d) add(`${y}-05-${pad(d)}`, '劳动节');
  for (let d = 1; d <= 3; ++d) add(`${y}-10-${pad(d)}`, '国庆节');
  return out;
}

// The package's days, by the year of the arrangement they belong to: a
// December day of 元旦 belongs to the next year's.
const years = new Map();  // year -> Map(date -> {mark, name})
for (let y = FIRST; y <= LAST + 1; ++y) years.set(y, new Map());
for (let y = FIRST; y <= LAST; ++y) {
  const j = require(`chinese-days/dist/years/${y}.json`);
  for (const [kind, mark] of [['holidays', '休'], ['workdays', '班']]) {
    for (const [s, v] of Object.entries(j[kind])) {
      const raw = v.split(',')[1];
      const name = NAMES[raw];
      if (!name) throw new Error(`unknown festival ${raw} on ${s}`);
      const owner = s.endsWith('-12-31') || s.endsWith('-12-30') || s.endsWith('-12-29') ? (name === '元旦' ? y + 1 : y) : y;
      const days = years.get(owner);
      if (days.has(s)) throw new Error(`${s} listed twice`);
      days.set(s, { mark, name });
    }
  }
}
if (years.get(LAST + 1).size) throw new Error(`days of ${LAST + 1} in the package; raise LAST`);
years.delete(LAST + 1);

const corrections = new Map();  // year -> [text]
const note = (y, text) => {
  if (!corrections.has(y)) corrections.set(y, []);
  corrections.get(y).push(text);
  process.stderr.write(`${y}: ${text}\n`);
};

// Corrections taken from the State Council's notices where the package
// differs from them in a way the rules below cannot see.
const NOTICES = [
  // The notice reads "9月3日至5日调休放假，共3天"; the package stops on the 4th.
  [2015, '2015-09-05', '休', '抗战胜利纪念日', 'the notice gives 9月3日至5日'],
  // 国办发明电〔2005〕35号: "12月31日（星期六）上班"; without it the year's days
  // off do not add up.
  [2006, '2005-12-31', '班', '元旦', 'the notice gives 12月31日（星期六）上班'],
];

for (const [y, days] of years) {
  // Every statutory day is a day off.
  for (const [s, name] of statutory(y)) {
    const got = days.get(s);
    if (!got) {
      days.set(s, { mark: '休', name });
      note(y, `${s} added: statutory day of ${name}`);
    } else if (got.mark !== '休') {
      throw new Error(`${s} is statutory (${name}) but marked ${got.mark}`);
    }
  }
  // Every span is contiguous: a weekend between two days off of the same
  // festival is part of the span. Days off of two festivals may meet (中秋
  // inside 国庆), so the days off are taken in date order across festivals.
  const off = [...days.entries()].filter(([, d]) => d.mark === '休').map(([s]) => s).sort();
  for (let i = 1; i < off.length; ++i) {
    const name = days.get(off[i]).name;
    if (days.get(off[i - 1]).name !== name) continue;
    const gap = [];
    for (let s = addDays(off[i - 1], 1); s < off[i]; s = addDays(s, 1)) gap.push(s);
    if (gap.some((s) => days.has(s))) continue;
    if (gap.some((s) => !isWeekend(s))) throw new Error(`${name} ${y}: ${gap[0]} breaks the span and is no weekend`);
    for (const s of gap) {
      days.set(s, { mark: '休', name });
      note(y, `${s} added: weekend inside the ${name} span`);
    }
  }
}
for (const [y, s, mark, name, why] of NOTICES) {
  if (years.get(y).has(s)) throw new Error(`${s} is in the package already; drop the correction`);
  years.get(y).set(s, { mark, name });
  note(y, `${s} ${mark} ${name}: ${why}`);
}

// Runs of consecutive days with the same mark and festival become one line.
function lines(days) {
  const sorted = [...days.entries()].sort(([a], [b]) => (a < b ? -1 : 1));
  const out = [];
  for (const [s, d] of sorted) {
    const last = out[out.length - 1];
    if (last && last.mark === d.mark && last.name === d.name && addDays(last.to, 1) === s) last.to = s;
    else out.push({ from: s, to: s, mark: d.mark, name: d.name });
  }
  // Days off first, then the make-up workdays, each in date order.
  out.sort((a, b) => (a.mark === b.mark ? (a.from < b.from ? -1 : 1) : a.mark === '休' ? -1 : 1));
  return out.map((r) => `${r.mark} ${r.name} ${r.from}${r.to === r.from ? '' : ` ${r.to}`}`);
}

const dataDir = path.join(root, 'data', 'holidays');
fs.mkdirSync(dataDir, { recursive: true });
for (const [y, days] of years) {
  const text = [`# The official holiday arrangement of ${y}. Format: README.md in this folder.`];
  text.push('# Generated by tests/data/holidays/make_holidays.js from chinese-days 1.5.7.');
  for (const c of corrections.get(y) || []) text.push(`# corrected: ${c}`);
  text.push(`year ${y}`, ...lines(days));
  fs.writeFileSync(path.join(dataDir, `${y}.txt`), text.join('\n') + '\n');
}

// The fixture: every marked day of the shipped years with its festival and
// whether it is statutory, the statutory day's own festival taking
// precedence over the span it lies in.
const fixture = [
  '# Every day with a holiday mark in the arrangements 2004..2026, made by',
  '# make_holidays.js with the package\'s own lunar calendar and solar terms;',
  '# a weekend joined to a holiday\'s weekdays off is 休 with it.',
  '# <date> <休|班> <festival> [法定]',
];
const all = new Map();  // date -> {mark, name, statutory}
for (const [y, days] of years) {
  const rule = statutory(y);
  for (const [s, d] of days) all.set(s, { mark: d.mark, name: rule.get(s) || d.name, statutory: rule.has(s) });
}
// A run of days off (休, or a weekend that is not 班) that holds a weekday
// 休 is 休 throughout; an unmarked weekend day takes the festival of the
// nearest 休 before it in the run, else of the nearest after it.
const isOff = (s) => (all.has(s) ? all.get(s).mark === '休' : isWeekend(s));
for (let s = `${FIRST - 1}-12-01`; s <= `${LAST}-12-31`;) {
  if (!isOff(s)) { s = addDays(s, 1); continue; }
  const run = [];
  for (; isOff(s); s = addDays(s, 1)) run.push(s);
  if (!run.some((d) => all.has(d) && !isWeekend(d))) continue;
  const names = run.map((d) => (all.has(d) ? all.get(d).name : null));
  run.forEach((d, i) => {
    if (all.has(d)) return;
    const before = names.slice(0, i).reverse().find((n) => n);
    all.set(d, { mark: '休', name: before || names.slice(i + 1).find((n) => n), statutory: false });
    process.stderr.write(`${d} 休 in the fixture: a weekend joined to ${all.get(d).name}\n`);
  });
}
for (const s of [...all.keys()].sort()) {
  const d = all.get(s);
  fixture.push(`${s} ${d.mark} ${d.name}${d.statutory ? ' 法定' : ''}`);
}
fs.writeFileSync(path.join(__dirname, 'days_2004_2026.txt'), fixture.join('\n') + '\n');
