// Skia's path operations on the same pairs as the region benchmark's
// icon-sized rows (8 and 64 knots), in this process. Skia runs here as
// WebAssembly (npm's canvaskit-wasm under Node), not as native code, and it
// keeps coordinates in single precision.
//
//   node pathops.mjs ROWS.json [repetitions]
//
// ROWS.json comes from `region_peer_bench --dump-rows=ROWS.json`: for each
// row the two outlines as cubics and the region engine's answer areas.
// Prints one JSON object per row and operation: median processor
// microseconds (user + system, as the native benchmark reports processor
// time; wall time on a shared machine counts other programs) per operation
// over interleaved repetitions, and the relative difference of
// Skia's answer area from the region engine's.

import { readFileSync } from 'node:fs';
import CanvasKitInit from 'canvaskit-wasm';

const [rowsFile, repetitionsText] = process.argv.slice(2);
if (!rowsFile) {
  console.error('usage: node pathops.mjs ROWS.json [repetitions]');
  process.exit(2);
}
const repetitions = Number(repetitionsText ?? 5);
const rows = JSON.parse(readFileSync(rowsFile, 'utf8'));
const CK = await CanvasKitInit();

const ops = [
  ['union', CK.PathOp.Union],
  ['inter', CK.PathOp.Intersect],
  ['a-b', CK.PathOp.Difference],
  ['b-a', CK.PathOp.ReverseDifference],
];

function pathOf(cubics) {
  const p = new CK.PathBuilder();
  let start = null;
  for (const [x0, y0, x1, y1, x2, y2, x3, y3] of cubics) {
    if (start === null) {
      p.moveTo(x0, y0);
      start = [x0, y0];
    }
    p.cubicTo(x1, y1, x2, y2, x3, y3);
  }
  p.close();
  return p.detachAndDelete();
}

// Area of an answer without holes: the sum of its contours' areas, each
// taken positive (Skia picks its own direction). Lines, quadratics and
// cubics in closed form; a conic, which these inputs do not produce, by
// its chord polygon.
function answerArea(path) {
  const cmds = path.toCmds();
  let total = 0;
  let contour = 0;
  let sx = 0, sy = 0, x = 0, y = 0;
  const cubic = (x0, y0, x1, y1, x2, y2, x3, y3) =>
    (6 * (x0 * y1 - x1 * y0) + 3 * (x0 * y2 - x2 * y0) + (x0 * y3 - x3 * y0) +
     3 * (x1 * y2 - x2 * y1) + 3 * (x1 * y3 - x3 * y1) + 6 * (x2 * y3 - x3 * y2)) / 20;
  const finish = () => {
    contour += (x * sy - sx * y) / 2;
    total += Math.abs(contour);
    contour = 0;
    x = sx;
    y = sy;
  };
  for (let i = 0; i < cmds.length;) {
    const verb = cmds[i++];
    if (verb === CK.MOVE_VERB) {
      if (contour !== 0 || x !== sx || y !== sy) finish();
      sx = x = cmds[i++];
      sy = y = cmds[i++];
    } else if (verb === CK.LINE_VERB) {
      const nx = cmds[i++], ny = cmds[i++];
      contour += (x * ny - nx * y) / 2;
      x = nx; y = ny;
    } else if (verb === CK.QUAD_VERB) {
      const qx = cmds[i++], qy = cmds[i++], nx = cmds[i++], ny = cmds[i++];
      contour += cubic(x, y, x + (2 / 3) * (qx - x), y + (2 / 3) * (qy - y),
                       nx + (2 / 3) * (qx - nx), ny + (2 / 3) * (qy - ny), nx, ny);
      x = nx; y = ny;
    } else if (verb === CK.CONIC_VERB) {
      const qx = cmds[i++], qy = cmds[i++], nx = cmds[i++], ny = cmds[i++];
      i++;  // weight
      contour += (x * qy - qx * y) / 2 + (qx * ny - nx * qy) / 2;
      x = nx; y = ny;
    } else if (verb === CK.CUBIC_VERB) {
      const x1 = cmds[i++], y1 = cmds[i++], x2 = cmds[i++], y2 = cmds[i++];
      const nx = cmds[i++], ny = cmds[i++];
      contour += cubic(x, y, x1, y1, x2, y2, nx, ny);
      x = nx; y = ny;
    } else if (verb === CK.CLOSE_VERB) {
      finish();
    }
  }
  if (contour !== 0) finish();
  return total;
}

const cases = [];
for (const row of rows) {
  const a = pathOf(row.a);
  const b = pathOf(row.b);
  ops.forEach(([name, op], k) => {
    const answer = CK.Path.MakeFromOp(a, b, op);
    const area = answer ? answerArea(answer) : NaN;
    if (answer) answer.delete();
    const ours = row.areas[k];
    const whole = row.areaA + row.areaB;
    cases.push({ row, a, b, name, op, times: [], area: Math.abs(area - ours) / whole, iterations: 1 });
  });
}

function runOnce(c) {
  const r = CK.Path.MakeFromOp(c.a, c.b, c.op);
  if (r) r.delete();
}

// Processor microseconds since `start` (a process.cpuUsage() reading).
function cpuSince(start) {
  const d = process.cpuUsage(start);
  return d.user + d.system;
}

// Enough iterations per measurement for about 20 ms of processor time.
for (const c of cases) {
  let n = 1;
  for (;;) {
    const t0 = process.cpuUsage();
    for (let i = 0; i < n; ++i) runOnce(c);
    const ms = cpuSince(t0) / 1e3;
    if (ms >= 20 || n >= 1 << 20) break;
    n *= 2;
  }
  c.iterations = n;
}

// Interleaved: every case once per repetition.
for (let r = 0; r < repetitions; ++r) {
  for (const c of cases) {
    const t0 = process.cpuUsage();
    for (let i = 0; i < c.iterations; ++i) runOnce(c);
    c.times.push(cpuSince(t0) / c.iterations);
  }
}

for (const c of cases) {
  const sorted = [...c.times].sort((p, q) => p - q);
  const median = sorted[Math.floor(sorted.length / 2)];
  console.log(JSON.stringify({
    family: c.row.family, knots: c.row.knots, scale: c.row.scale, op: c.name,
    skia_us: Number(median.toFixed(2)), area: c.area,
  }));
}
