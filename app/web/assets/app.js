// The web view's page: what the station streams (/events) shown as counts,
// a chart, a vessel list and traffic plots. Every text that came over the
// air (names, call signs, destinations) is put into the page as text, never
// as markup: AIS's character set has < > " & and '.
'use strict';

const NM = 1852;  // metres
const state = {
  vessels: new Map(),   // mmsi -> vessel as /api/vessels gives it
  status: null,
  plots: null,
  clockOffset: 0,       // the station's clock minus this browser's, seconds
  sortKey: 'age',
  sortDir: 'asc',
  selected: null,
  filter: '',
};

// An element with attributes and children; strings become text nodes.
function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attrs || {})) node.setAttribute(name, value);
  for (const child of children) node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  return node;
}
function setText(id, text) { document.getElementById(id).textContent = text; }
function now() { return Date.now() / 1000 + state.clockOffset; }
function stored(name, fallback) {
  try { const v = localStorage.getItem('kelvane.' + name); return v === null ? fallback : JSON.parse(v); }
  catch (e) { return fallback; }
}
function store(name, value) { try { localStorage.setItem('kelvane.' + name, JSON.stringify(value)); } catch (e) { /* private mode */ } }

// --- Words and numbers, as the vessel window writes them -------------------
function degrees(value, positive, negative) {
  return Math.abs(value).toFixed(4) + '\u00B0 ' + (value >= 0 ? positive : negative);
}
function age(seconds) {
  const s = Math.max(0, Math.floor(seconds));
  if (s < 60) return s + ' s';
  if (s < 3600) return Math.floor(s / 60) + ' min ' + (s % 60) + ' s';
  return Math.floor(s / 3600) + ' h ' + Math.floor((s % 3600) / 60) + ' min';
}
function percent(part, whole) { return whole > 0 ? Math.floor(part * 100 / whole + 0.5) + '%' : '0%'; }
function has(v) { return v !== undefined && v !== null; }

const columns = [
  ['mmsi', v => String(v.mmsi).padStart(9, '0'), false],
  ['shipname', v => v.shipname || '', true],
  ['callsign', v => v.callsign || '', true],
  ['kind', v => v.kind || '', true],
  ['lat', v => has(v.lat) ? degrees(v.lat, 'N', 'S') : '', false],
  ['lon', v => has(v.lon) ? degrees(v.lon, 'E', 'W') : '', false],
  ['speed', v => has(v.speed) ? v.speed.toFixed(1) + ' kn' : '', false],
  ['course', v => has(v.course) ? v.course.toFixed(1) + '\u00B0' : '', false],
  ['heading', v => has(v.heading) ? v.heading + '\u00B0' : '', false],
  ['distance', v => has(v.distance) ? v.distance.toFixed(1) + ' nm' : '', false],
  ['bearing', v => has(v.bearing) ? String(Math.round(v.bearing) % 360).padStart(3, '0') + '\u00B0' : '', false],
  ['messages', v => String(v.messages), false],
  ['age', v => age(now() - v.last_heard), false],
  ['channels', v => v.channels.split('').join(' '), true],
  ['signal_db', v => has(v.signal_db) ? v.signal_db.toFixed(1) + ' dB' + (has(v.snr_db) ? ', SNR ' + v.snr_db.toFixed(0) + ' dB' : '') : '', false],
];

function sortValue(v, key) {
  if (key === 'age') return now() - v.last_heard;
  const value = v[key];
  if (!has(value) || value === '') return null;
  return typeof value === 'string' ? value.toLowerCase() : value;
}

// --- The station -------------------------------------------------------------
function showStatus(status) {
  state.status = status;
  state.clockOffset = status.time - Date.now() / 1000;
  const c = status.counters;
  for (const name of ['syncs', 'valid', 'errors', 'presyncs', 'overruns', 'types_1_3', 'type_5',
                      'types_18_19', 'type_24', 'types_other'])
    setText('count-' + name, c[name]);
  setText('percent-valid', percent(c.valid, c.syncs));
  setText('percent-errors', percent(c.errors, c.syncs));
  const s = status.stream;
  setText('stream', s ? `${s.demodulator} demodulator, ${s.receivers === 2 ? 'two receivers (A left, B right)' : 'one receiver'}, ${s.sample_rate} Hz` : 'no stream yet');
  setText('uptime', 'up ' + age(status.uptime));
  const body = document.querySelector('#channels tbody');
  body.replaceChildren();
  for (const [name, ch] of Object.entries(status.channels)) {
    const valid = name === 'A' ? c.valid_a : name === 'B' ? c.valid_b : '';
    const row = el('tr', {'data-channel': name}, el('th', {}, name === '-' ? 'one receiver' : name), el('td', {}, valid),
                   el('td', {}, ch.messages));
    for (const group of ['1-3', '5', '18-19', '24', 'other']) row.append(el('td', {}, ch.types[group]));
    body.append(row);
  }
  document.getElementById('level-bar').style.width = status.level_percent + '%';
  setText('level-text', status.level >= 128 ? status.level_percent + '%' : '');
  if (status.station) showStation(status.station);
}

// --- The vessel list ---------------------------------------------------------
function visibleVessels() {
  const filter = state.filter.toLowerCase();
  let rows = [...state.vessels.values()];
  if (filter)
    rows = rows.filter(v => [String(v.mmsi).padStart(9, '0'), v.shipname, v.callsign, v.kind, v.destination, v.shiptype_text]
      .some(t => t && t.toLowerCase().includes(filter)));
  const dir = state.sortDir === 'asc' ? 1 : -1;
  rows.sort((a, b) => {
    const x = sortValue(a, state.sortKey), y = sortValue(b, state.sortKey);
    if (x === null || y === null) return x === y ? a.mmsi - b.mmsi : x === null ? 1 : -1;  // missing last
    return x < y ? -dir : x > y ? dir : a.mmsi - b.mmsi;
  });
  return rows;
}

function renderTable() {
  const rows = visibleVessels();
  const body = document.querySelector('#vessels tbody');
  const fragment = document.createDocumentFragment();
  for (const v of rows) {
    const tr = el('tr', {'data-mmsi': v.mmsi});
    if (v.mmsi === state.selected) tr.className = 'selected';
    for (const [, text, isText] of columns) tr.append(el('td', isText ? {class: 'text'} : {}, text(v)));
    fragment.append(tr);
  }
  body.replaceChildren(fragment);
  setText('vessel-count', `(${rows.length} of ${state.vessels.size})`);
  for (const th of document.querySelectorAll('#vessels th'))
    if (th.dataset.key === state.sortKey) th.dataset.sort = state.sortDir; else delete th.dataset.sort;
}

async function showDetails(mmsi) {
  state.selected = mmsi;
  const box = document.getElementById('details');
  try {
    const response = await fetch('/api/vessels/' + mmsi);
    if (!response.ok) throw new Error(response.status);
    const v = await response.json();
    if (state.selected !== mmsi) return;
    let text = '';
    for (const [name, value] of Object.entries(v.fields)) text += name + ': ' + value + '\n';
    text += '\nLast sentences:\n' + v.sentences.join('');
    box.textContent = text;
  } catch (e) {
    box.textContent = 'Could not read the vessel: ' + e.message;
  }
}

// --- The chart ---------------------------------------------------------------
const chart = L.map('chart', {worldCopyJump: true, zoomSnap: 0.25}).setView([20, 0], 2);
// The land under everything drawn on it, above online tiles.
chart.createPane('land').style.zIndex = 250;
const landRenderer = L.svg({padding: 0.5, pane: 'land'});
const markLayer = L.layerGroup().addTo(chart);
const trackLayer = L.layerGroup().addTo(chart);
const ringLayer = L.layerGroup().addTo(chart);
const marks = new Map();  // mmsi -> {marker, track, shape}
let tiles = null;
let land = null;
let fitted = false;
let userMoved = false;
for (const name of ['mousedown', 'wheel', 'touchstart', 'keydown'])
  chart.getContainer().addEventListener(name, () => { userMoved = true; }, {passive: true});
let stationShown = null;

fetch('/vendor/world-atlas/land-50m.json').then(r => r.json()).then(world => {
  const outline = topojson.feature(world, world.objects.land);
  land = L.geoJSON(outline, {renderer: landRenderer, interactive: false, pane: 'land',
                             style: {className: 'land', weight: 0.6, fillOpacity: 1}});
  if (!tiles) land.addTo(chart);
  const box = document.getElementById('chart');
  box.dataset.landPolygons = outline.features.reduce((n, f) => n + f.geometry.coordinates.length, 0);
  box.dataset.land = 'drawn';
}).catch(e => { document.getElementById('chart').dataset.land = 'failed: ' + e.message; });

function setTiles(on) {
  if (on && !tiles) {
    // Only when asked: the page itself never leaves the station.
    tiles = L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
      maxZoom: 18, attribution: '\u00A9 OpenStreetMap contributors'}).addTo(chart);
    if (land) land.remove();
  } else if (!on && tiles) {
    tiles.remove();
    tiles = null;
    if (land) land.addTo(chart);
  }
}

function showStation(at) {
  const key = at.lat + ',' + at.lon;
  if (stationShown === key) return;
  stationShown = key;
  ringLayer.clearLayers();
  L.marker([at.lat, at.lon], {interactive: false, icon: L.divIcon({className: 'station-mark', html: el('span', {}, '\u2715'), iconSize: [14, 14]})}).addTo(ringLayer);
  drawRings();
}

// Rings a quarter of the range apart, the range 1, 2 or 5 times a power of
// ten beyond the farthest vessel, as on the vessel window's plot.
let ringRange = 0;
let ringBounds = null;
function drawRings() {
  const at = state.status && state.status.station;
  if (!at) return;
  let farthest = 0;
  for (const v of state.vessels.values()) if (has(v.distance)) farthest = Math.max(farthest, v.distance);
  let range = 0.5;
  for (let i = 0; range < farthest * 1.05 && i < 30; i++) range *= (i % 3 === 2) ? 2.5 : 2;
  if (range === ringRange) return;
  ringRange = range;
  ringLayer.eachLayer(layer => { if (layer.options.ring) ringLayer.removeLayer(layer); });
  for (let ring = 1; ring <= 4; ring++) {
    const radius = range * ring / 4;
    L.circle([at.lat, at.lon], {radius: radius * NM, interactive: false, fill: false, color: '#7a8ca5', weight: 1,
                                className: 'range-ring', ring: true}).addTo(ringLayer);
    // Its distance at its top.
    L.marker([at.lat + radius / 60, at.lon], {interactive: false, keyboard: false, ring: true,
      icon: L.divIcon({className: 'ring-label', html: el('span', {}, +radius.toPrecision(3) + ' nm'), iconSize: [60, 14], iconAnchor: [30, 14]})})
      .addTo(ringLayer);
  }
  ringBounds = L.latLng(at.lat, at.lon).toBounds(2 * range * NM * 1.1);
}

function markShape() {
  // A hull pointing up (north); turned to the heading or course.
  const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  svg.setAttribute('width', '16'); svg.setAttribute('height', '16'); svg.setAttribute('viewBox', '-8 -8 16 16');
  const path = document.createElementNS('http://www.w3.org/2000/svg', 'path');
  path.setAttribute('fill', '#1462c8'); path.setAttribute('stroke', '#0b2e5e'); path.setAttribute('stroke-width', '1');
  svg.append(path);
  return {svg, path};
}

function direction(v) {
  if (has(v.heading)) return v.heading;
  if (has(v.course) && has(v.speed) && v.speed > 0.5) return v.course;
  return null;
}

function updateMark(v) {
  let mark = marks.get(v.mmsi);
  if (!has(v.lat) || !has(v.lon)) return;
  if (!mark) {
    const shape = markShape();
    const holder = el('div', {class: 'vessel-shape'});
    holder.append(shape.svg);
    const marker = L.marker([v.lat, v.lon], {icon: L.divIcon({className: 'vessel-mark', html: holder, iconSize: [16, 16]}), keyboard: false});
    const tip = el('span', {});
    marker.bindTooltip(tip, {direction: 'top', offset: [0, -8], className: 'vessel-tip'});
    marker.on('click', () => { selectVessel(v.mmsi); });
    marker.addTo(markLayer);
    const track = L.polyline([], {color: '#1462c8', weight: 1.5, opacity: 0.5, interactive: false}).addTo(trackLayer);
    mark = {marker, track, shape, holder, tip};
    marks.set(v.mmsi, mark);
    marker.getElement().dataset.mmsi = v.mmsi;
  }
  mark.marker.setLatLng([v.lat, v.lon]);
  mark.track.setLatLngs(v.track);
  mark.tip.textContent = v.shipname || String(v.mmsi).padStart(9, '0');
  const turn = direction(v);
  mark.shape.path.setAttribute('d', turn === null ? 'M -4 -4 H 4 V 4 H -4 Z' : 'M 0 -8 L 5 6 L 0 3 L -5 6 Z');
  mark.holder.style.transform = turn === null ? '' : `rotate(${turn}deg)`;
}

// Older marks paler; past the age the operator chose, gone from the chart
// (the list keeps them).
function fadeMarks() {
  const maxAge = Math.max(1, Number(document.getElementById('max-age').value) || 30) * 60;
  for (const [mmsi, mark] of marks) {
    const v = state.vessels.get(mmsi);
    const old = now() - v.last_heard;
    if (old > maxAge) {
      mark.marker.remove(); mark.track.remove();
      marks.delete(mmsi);
      continue;
    }
    const opacity = Math.min(1, Math.max(0.15, 1 - old / maxAge));
    mark.marker.setOpacity(opacity);
    mark.track.setStyle({opacity: opacity * 0.5});
  }
}

function refreshChart(changed) {
  const maxAge = Math.max(1, Number(document.getElementById('max-age').value) || 30) * 60;
  for (const v of changed) if (now() - v.last_heard <= maxAge) updateMark(v);
  fadeMarks();
  drawRings();
  // The station's outer ring in view as the range grows, or else the
  // vessels once, until the viewer moves the chart.
  if (!userMoved && ringBounds && fitted !== ringRange) {
    chart.fitBounds(ringBounds);
    fitted = ringRange;
  } else if (!userMoved && !fitted && !ringBounds) {
    const points = [...state.vessels.values()].filter(v => has(v.lat)).map(v => [v.lat, v.lon]);
    if (points.length > 0) {
      chart.fitBounds(L.latLngBounds(points).pad(0.3), {maxZoom: 12});
      fitted = true;
    }
  }
  document.getElementById('chart').dataset.marks = marks.size;
}

// --- The plots -----------------------------------------------------------------
const plotColours = {A: '#1462c8', B: '#d9480f', '-': '#2a9d58'};
const plots = {};

function plotWidth(id) { return Math.max(300, document.getElementById(id).clientWidth); }

function drawPlot(id, options, data) {
  const old = plots[id];
  const ready = old && old.series.length === options.series.length;
  if (ready) { old.setData(data); return; }
  if (old) old.destroy();
  plots[id] = new uPlot({width: plotWidth(id), height: 180, ...options}, data, document.getElementById(id));
}

function histogram(id, block, label, colour) {
  const xs = block.counts.map((_, i) => block.low + i);
  let first = block.counts.findIndex(n => n > 0), last = block.counts.length - 1;
  while (last > 0 && block.counts[last] === 0) last--;
  if (first < 0) { first = 0; last = block.counts.length - 1; }
  first = Math.max(0, first - 2); last = Math.min(block.counts.length - 1, last + 2);
  drawPlot(id, {
    scales: {x: {time: false}},
    axes: [{label: label}, {label: 'messages'}],
    series: [{label: label}, {label: 'messages', stroke: colour, fill: colour + '55', paths: uPlot.paths.bars({size: [0.9, 40]})}],
  }, [xs.slice(first, last + 1), block.counts.slice(first, last + 1)]);
}

function showPlots(p) {
  state.plots = p;
  const names = Object.keys(p.per_minute);
  const length = names.length ? p.per_minute[names[0]].length : 360;
  const xs = Array.from({length}, (_, i) => (p.first_minute + i) * 60);
  const series = [{}];
  const data = [xs];
  for (const name of names) {
    series.push({label: name === '-' ? 'one receiver' : 'channel ' + name, stroke: plotColours[name], width: 1.5});
    data.push(p.per_minute[name]);
  }
  if (names.length === 0) { series.push({label: 'messages', stroke: '#999'}); data.push(xs.map(() => 0)); }
  drawPlot('plot-minutes', {axes: [{}, {label: 'messages / min'}], series}, data);
  document.getElementById('plot-minutes').dataset.messages =
    names.reduce((sum, name) => sum + p.per_minute[name].reduce((a, b) => a + b, 0), 0);
  histogram('plot-level', p.level_db, 'level dB', '#1462c8');
  const snr = p.snr_db.counts.some(n => n > 0);
  document.getElementById('snr-block').hidden = !snr;
  if (snr) histogram('plot-snr', p.snr_db, 'SNR dB', '#7b2cbf');
}

// --- The stream ------------------------------------------------------------------
function takeVessels(list) {
  for (const v of list) state.vessels.set(v.mmsi, v);
  renderTable();
  refreshChart(list);
  if (state.selected !== null && list.some(v => v.mmsi === state.selected)) showDetails(state.selected);
}

function connect() {
  const events = new EventSource('/events');
  const badge = document.getElementById('connection');
  events.addEventListener('snapshot', e => {
    const s = JSON.parse(e.data);
    badge.dataset.state = 'live'; badge.textContent = 'live';
    state.vessels.clear();
    showStatus(s.status);
    takeVessels(s.vessels);
    showPlots(s.plots);
    document.body.dataset.updates = '0';
  });
  events.addEventListener('update', e => {
    const u = JSON.parse(e.data);
    showStatus(u.status);
    if (u.vessels.length) takeVessels(u.vessels);
    if (u.plots) showPlots(u.plots);
    document.body.dataset.updates = String(Number(document.body.dataset.updates || 0) + 1);
    document.body.dataset.lastUpdate = String(Date.now());
  });
  events.onerror = () => { badge.dataset.state = 'lost'; badge.textContent = 'reconnecting'; };
}

function selectVessel(mmsi) {
  state.selected = mmsi;
  renderTable();
  showDetails(mmsi);
}

document.querySelector('#vessels thead').addEventListener('click', e => {
  const key = e.target.dataset && e.target.dataset.key;
  if (!key) return;
  if (state.sortKey === key) state.sortDir = state.sortDir === 'asc' ? 'desc' : 'asc';
  else { state.sortKey = key; state.sortDir = 'asc'; }
  renderTable();
});
document.querySelector('#vessels tbody').addEventListener('click', e => {
  const row = e.target.closest('tr');
  if (row) selectVessel(Number(row.dataset.mmsi));
});
document.getElementById('filter').addEventListener('input', e => { state.filter = e.target.value; renderTable(); });
const maxAgeBox = document.getElementById('max-age');
maxAgeBox.value = stored('maxAgeMinutes', 30);
maxAgeBox.addEventListener('change', () => { store('maxAgeMinutes', Number(maxAgeBox.value)); refreshChart(state.vessels.values()); });
const tilesBox = document.getElementById('online-tiles');
tilesBox.checked = stored('onlineTiles', false);
setTiles(tilesBox.checked);
tilesBox.addEventListener('change', () => { store('onlineTiles', tilesBox.checked); setTiles(tilesBox.checked); });

// Ages count every second, as in the vessel window.
setInterval(() => {
  if (state.status) setText('uptime', 'up ' + age(state.status.uptime + (now() - state.status.time)));
  for (const row of document.querySelectorAll('#vessels tbody tr')) {
    const v = state.vessels.get(Number(row.dataset.mmsi));
    if (v) row.children[12].textContent = age(now() - v.last_heard);
  }
  fadeMarks();
}, 1000);

connect();
