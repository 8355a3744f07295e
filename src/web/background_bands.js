// A background made in bands of field rows by whichever of the page's two
// workers is free. The snowflake takes a worker for a second or two and the
// background, in the slower recipes, twice that; since a field's rows are
// independent (the same bits whatever worker makes them), the worker that
// finishes its snowflake helps with the rest of the background instead of
// waiting, and a picture is ready about when half the work is done.
//
// A band is taken only when a worker can start it at once, so that no band
// waits behind another job while the other worker idles. It comes back as
// colours, 4 bytes a point rather than the field's three extended numbers;
// the page gathers them and the worker that brought the last band lays the
// field over its frame.

// The smallest band, in points: a few milliseconds of work at least, so
// that a message each way costs little beside it.
const kLeastBandPoints = 4096;

// Makes the background of `numbers` at width x height in bands on the
// helpers' lanes; a helper with `after` joins once that job (its own) has
// come. Resolves with { frame, ms }, with { error }, or with null once
// `wanted()` says no or a newer job took a lane's slot: a picture the page
// no longer wants takes no more bands from a newer one.
function backgroundInBands({ helpers, numbers, width, height, fieldWidth, fieldHeight, slot, wanted }) {
  const leastRows = Math.max(1, Math.floor(kLeastBandPoints / Math.max(fieldWidth, 1)));
  const rowBytes = fieldWidth * 4;
  const colours = new Uint8Array(rowBytes * fieldHeight);
  const start = performance.now();
  let next = 0, gathered = 0, settled = false, settle;
  const result = new Promise((resolve) => { settle = resolve; });
  const finish = (value) => {
    if (settled) return;
    settled = true;
    settle(value);
  };
  const band = () => {
    if (settled || next >= fieldHeight) return null;
    if (!wanted()) {
      finish(null);
      return null;
    }
    // A share of the rows left that shrinks as they run out: few messages
    // while there is much to do, and the workers finish within a short
    // band's time of each other.
    const first = next;
    next = Math.min(first + Math.max(leastRows, Math.ceil((fieldHeight - first) / (2 * helpers.length))), fieldHeight);
    return { kind: 'band', width, height, background: numbers.background, brightness: numbers.brightness,
             first, last: next };
  };

  async function lay(lane) {
    const laid = await lane.run({ kind: 'lay', width, height, colours: colours.buffer }, slot);
    finish(laid && !laid.error ? { frame: laid.frame, ms: performance.now() - start } : laid);
  }

  async function help(lane, after) {
    // Even with nothing to wait for, the first band is taken in a later
    // microtask: once the caller has kept the picture where wanted() looks.
    const own = await after;
    if (after && (!own || own.error)) return;  // the page hears of it through its own job
    for (;;) {
      const done = await lane.run(band, slot);
      if (!done) {
        // Nothing left to take, or a newer job took the slot while bands remained.
        if (next < fieldHeight) finish(null);
        return;
      }
      if (done.error) return finish(done);
      if (settled) return;
      colours.set(new Uint8Array(done.colours), done.first * rowBytes);
      gathered += done.last - done.first;
      if (gathered === fieldHeight) return lay(lane);
    }
  }

  if (fieldHeight === 0) lay(helpers[0].lane);  // a window one pixel high: no field, the frame alone
  else for (const { lane, after } of helpers) help(lane, after);
  return result;
}
