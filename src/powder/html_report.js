// velmora-powder's HTML report: draws the pattern or the fit of #pattern-data
// with uPlot (the intensities above, a row of Bragg ticks per kind of peak and
// per phase, the difference below), zoomed by dragging or the wheel, panned
// with shift or the middle button, and writes at the cursor its 2θ, d and Q
// and the nearest reflections. Marks the page when drawn (data-plot="drawn").
(function () {
  "use strict";
  const data = JSON.parse(document.getElementById("pattern-data").textContent);
  const plot = document.getElementById("plot");
  const readout = document.getElementById("readout");
  const x = data.x;
  const full = { min: x[0], max: x[x.length - 1] };
  const rowHeight = 16; // pixels of a row of ticks
  const rows = data.ticks.map(function (row) {
    return { label: row.label, colour: row.colour, marks: row.marks.slice().sort((a, b) => a[0] - b[0]) };
  });
  const width = () => Math.max(480, plot.clientWidth);
  const charts = [];

  // The first mark at or after v of marks sorted by position.
  function lowerBound(marks, v) {
    let lo = 0, hi = marks.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (marks[mid][0] < v) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  // Both charts show the same range of 2θ.
  let syncing = false;
  function followX(u, key) {
    if (key !== "x" || syncing) return;
    syncing = true;
    for (const other of charts) if (other !== u) other.setScale("x", { min: u.scales.x.min, max: u.scales.x.max });
    syncing = false;
  }
  function setX(min, max) {
    const span = full.max - full.min;
    if (max - min > span) { min = full.min; max = full.max; }
    if (min < full.min) { max += full.min - min; min = full.min; }
    if (max > full.max) { min -= max - full.max; max = full.max; }
    charts[0].setScale("x", { min: min, max: max });
  }

  // Ranges left out of the fit, grey behind the curves.
  function drawExcluded(u) {
    const ctx = u.ctx, b = u.bbox;
    ctx.save();
    ctx.fillStyle = "#e4e4e4";
    for (const [from, to] of data.excluded) {
      const a = u.valToPos(from, "x", true), c = u.valToPos(to, "x", true);
      const left = Math.max(b.left, Math.min(a, c)), right = Math.min(b.left + b.width, Math.max(a, c));
      if (right > left) ctx.fillRect(left, b.top, right - left, b.height);
    }
    ctx.restore();
  }

  // The rows of ticks in the strip under the upper chart's frame, each named at its left.
  function drawTicks(u) {
    const ctx = u.ctx, b = u.bbox, px = devicePixelRatio || 1;
    const lo = u.scales.x.min, hi = u.scales.x.max;
    ctx.save();
    ctx.font = 12 * px + "px system-ui, sans-serif";
    ctx.textAlign = "right";
    ctx.textBaseline = "middle";
    ctx.lineWidth = Math.max(1, px);
    rows.forEach(function (row, r) {
      const top = b.top + b.height + (6 + r * rowHeight) * px;
      ctx.fillStyle = ctx.strokeStyle = row.colour;
      ctx.fillText(row.label, b.left - 8 * px, top + rowHeight * px / 2);
      ctx.beginPath();
      for (let i = lowerBound(row.marks, lo); i < row.marks.length && row.marks[i][0] <= hi; i++) {
        const at = Math.round(u.valToPos(row.marks[i][0], "x", true)) + 0.5;
        ctx.moveTo(at, top + 2 * px);
        ctx.lineTo(at, top + (rowHeight - 2) * px);
      }
      ctx.stroke();
    });
    ctx.restore();
  }

  // Wheel: zoom about the cursor; shift or the middle button: pan.
  function addMouse(u) {
    const over = u.over;
    over.addEventListener("wheel", function (e) {
      e.preventDefault();
      const at = u.posToVal(e.offsetX, "x"), factor = e.deltaY < 0 ? 0.8 : 1.25;
      const { min, max } = u.scales.x;
      setX(at - (at - min) * factor, at + (max - at) * factor);
    }, { passive: false });
    over.parentNode.addEventListener("mousedown", function (e) {
      if (!(e.shiftKey || e.button === 1) || !over.contains(e.target)) return;
      e.preventDefault();
      e.stopPropagation();
      const start = e.clientX, { min, max } = u.scales.x, perPixel = (max - min) / u.over.clientWidth;
      const move = (m) => setX(min - (m.clientX - start) * perPixel, max - (m.clientX - start) * perPixel);
      const up = () => { document.removeEventListener("mousemove", move); document.removeEventListener("mouseup", up); };
      document.addEventListener("mousemove", move);
      document.addEventListener("mouseup", up);
    }, true);
  }

  const number = (v, digits) => (v == null || !isFinite(v) ? "—" : Number(v.toPrecision(digits)).toString());

  // The cursor's 2θ (as measured; the Bragg angle less the zero shift gives d and Q), the curves'
  // values there and the reflections nearest to it.
  function describe(u) {
    const left = u.cursor.left;
    if (left == null || left < 0) return;
    const at = u.posToVal(left, "x");
    const theta = (at - data.zero) * Math.PI / 360, s = Math.sin(theta);
    let text = "2θ " + at.toFixed(4) + "°   d " + number(data.wavelength / (2 * s), 6) + " Å   Q " +
      number(4 * Math.PI * s / data.wavelength, 6) + " Å⁻¹\n";
    const i = u.cursor.idx;
    if (i != null) {
      text += data.series.map((c) => c.label + " " + number(c.y[i], 6)).join("   ");
      if (data.difference) text += "   observed − calculated " + number(data.difference[i], 5);
      text += "   (at 2θ " + number(x[i], 7) + "°)\n";
    }
    const near = [];
    for (const row of rows) {
      const k = lowerBound(row.marks, at);
      for (let j = Math.max(0, k - 3); j < Math.min(row.marks.length, k + 3); j++) near.push([row, row.marks[j]]);
    }
    near.sort((a, b) => Math.abs(a[1][0] - at) - Math.abs(b[1][0] - at));
    text += near.slice(0, 4).map(([row, m]) => row.label.padEnd(9) + " " + m[1].padEnd(10) + " 2θ " +
      number(m[0], 7).padEnd(9) + " d " + number(m[3], 6).padEnd(8) + " I (unscaled) " + number(m[2], 5)).join("\n");
    readout.textContent = text;
  }

  const axisFont = "12px system-ui, sans-serif", labelFont = "13px system-ui, sans-serif";
  const strip = rows.length * rowHeight + 10;
  const upperSeries = [{ label: "2θ", value: (u, v) => (v == null ? "—" : v.toFixed(4) + "°") }];
  for (const c of data.series) {
    const s = { label: c.label, stroke: c.colour, scale: c.scale, width: 1.5, value: (u, v) => number(v, 6) };
    if (c.style === "points") Object.assign(s, { paths: () => null, width: 1, points: { show: true, size: 3, fill: c.colour, stroke: c.colour } });
    else s.points = { show: false };
    if (c.style === "filled") s.fill = "rgba(205, 30, 30, 0.18)";
    if (c.label === "background") s.width = 1;
    upperSeries.push(s);
  }
  const lower = data.difference !== null;
  const upperAxes = [
    // Under the frame: the strip of ticks; the 2θ numbers when there is no difference chart.
    lower ? { size: strip, values: (u, splits) => splits.map(() => ""), ticks: { show: false }, font: axisFont }
      : { size: strip + 30, label: data.xLabel, labelFont: labelFont, font: axisFont, gap: strip },
    { label: data.yLabel, labelFont: labelFont, font: axisFont, size: 80 },
  ];
  if (data.y2Label) upperAxes.push({ scale: "y2", side: 1, label: data.y2Label, labelFont: labelFont, font: axisFont, size: 100, grid: { show: false } });
  let drawn = false;
  const upper = new uPlot({
    width: width(), height: 440,
    cursor: { sync: { key: "pattern" }, drag: { x: true, y: true, uni: 50 } },
    legend: { mount: (u, el) => document.getElementById("legend").appendChild(el) },
    scales: { x: { time: false } },
    series: upperSeries,
    axes: upperAxes,
    hooks: {
      drawClear: [drawExcluded],
      draw: [drawTicks, function () {
        if (drawn) return;
        drawn = true;
        document.body.setAttribute("data-draw-ms", Math.round(performance.now()));
        document.body.setAttribute("data-plot", "drawn");
      }],
      setScale: [followX],
      setCursor: [describe],
    },
  }, [x].concat(data.series.map((c) => c.y)), plot);
  charts.push(upper);
  addMouse(upper);
  if (lower) {
    const difference = new uPlot({
      width: width(), height: 170,
      cursor: { sync: { key: "pattern" }, drag: { x: true, y: false } },
      legend: { show: false },
      scales: {
        x: { time: false },
        y: { range: (u, min, max) => { const h = 1.1 * Math.max(Math.abs(min), Math.abs(max)) || 1; return [-h, h]; } },
      },
      series: [{}, { label: "observed − calculated", stroke: "#0f6e3c", width: 1, points: { show: false } }],
      axes: [{ label: data.xLabel, labelFont: labelFont, font: axisFont }, { label: "obs − calc", labelFont: labelFont, font: axisFont, size: 80 }],
      hooks: { drawClear: [drawExcluded], setScale: [followX] },
    }, [x, data.difference], plot);
    charts.push(difference);
    addMouse(difference);
  }
  window.addEventListener("resize", () => charts.forEach((c) => c.setSize({ width: width(), height: c.height })));
})();
