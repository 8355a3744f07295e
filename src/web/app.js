// The web page of Nivora Glade, appended to the engine module's loader so
// that the page and its workers load one script. In a worker it makes
// layers and still pictures; on the page it runs the picture cycle: the
// reveal in 10 ms ticks drawn once per animation frame, the hold, the next
// picture prepared by the workers while this one shows.
(function () {
  'use strict';

  const kTickMs = 10;
  const kMaxSide = 16384;
  // What one worker's module may hold: a 32-bit address space, less room
  // for the module itself.
  const kMaxPictureBytes = 2 ** 31;
  const kSnowflake = 1, kBackground = 2;

  if (typeof window === 'undefined') {
    workerMain();
    return;
  }

  const scriptUrl = document.currentScript.src;
  const $ = (id) => document.getElementById(id);

  function showMessage(text) {
    const message = $('message');
    message.textContent = text;
    message.hidden = false;
    document.body.dataset.state = 'message';
  }

  function sizeProblem(width, height) {
    if (!(width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide))
      return `A picture of ${width} x ${height} cannot be made: each side must be 1 to ${kMaxSide} pixels.`;
    return null;
  }

  function tooLarge(width, height, bytes) {
    return `A picture of ${width} x ${height} needs about ${(bytes / 2 ** 30).toFixed(1)} GB, ` +
      `more than a web page can hold.`;
  }

  // One worker, one job at a time. Jobs wait in two slots: the screen's,
  // which go first, and the next picture's; a newer job replaces the one
  // waiting in its slot (whose promise resolves with null). A job given as
  // a function is made when the worker can start it (a band of shared
  // rows); when it makes none, its promise resolves with null.
  class Lane {
    constructor(onError) {
      this.worker = new Worker(scriptUrl);
      this.busy = null;
      this.waiting = { screen: null, next: null };
      this.nextId = 1;
      this.worker.onmessage = (e) => this.finished(e.data);
      this.worker.onerror = (e) => onError(`A worker failed: ${e.message || 'it could not start'}`);
    }
    run(job, slot = 'screen') {
      return new Promise((resolve) => {
        if (this.waiting[slot]) this.waiting[slot].resolve(null);
        this.waiting[slot] = { job, resolve };
        this.pump();
      });
    }
    pump() {
      while (!this.busy) {
        const slot = this.waiting.screen ? 'screen' : 'next';
        const waiting = this.waiting[slot];
        if (!waiting) return;
        this.waiting[slot] = null;
        const job = typeof waiting.job === 'function' ? waiting.job() : waiting.job;
        if (!job) {
          waiting.resolve(null);
          continue;
        }
        job.id = this.nextId++;
        this.busy = waiting;
        this.worker.postMessage(job);
      }
    }
    finished(result) {
      const done = this.busy;
      this.busy = null;
      done.resolve(result);
      this.pump();
    }
  }

  // ---- The still picture of a link ----

  async function still(params) {
    document.body.className = 'still';
    for (const id of ['bar', 'settings']) $(id).remove();
    const [width, height] = (params.get('size') || '1920x1080').split('x').map(Number);
    const problem = sizeProblem(width, height);
    if (problem) return showMessage(problem);
    const number = (name) => (params.has(name) ? Number(params.get(name)) : -1);
    const seed = Number(params.get('seed')) >>> 0;
    const brightness = params.has('brightness') ? number('brightness') : 14;
    let picture = Math.max(1, Math.floor(number('picture')) || 1);
    const lane = new Lane(showMessage);
    const canvas = $('picture');
    const context = canvas.getContext('2d');

    async function show() {
      document.body.dataset.state = 'making';
      const result = await lane.run({ kind: 'still', width, height, seed, picture, brightness,
                                      algorithm: number('algorithm'), background: number('background') });
      if (!result) return;
      if (result.error) return showMessage(result.error);
      canvas.width = width;
      canvas.height = height;
      // One picture pixel to one device pixel.
      canvas.style.width = `${width / devicePixelRatio}px`;
      canvas.style.height = `${height / devicePixelRatio}px`;
      context.putImageData(new ImageData(new Uint8ClampedArray(result.rgba), width, height), 0, 0);
      document.title = `Nivora Glade: picture ${picture} of seed ${seed} (snowflake ${result.algorithm}, ` +
        `background ${result.background})`;
      document.body.dataset.picture = String(picture);
      document.body.dataset.state = 'ready';
    }

    // The arrow keys (or N and P) step through the run.
    addEventListener('keydown', (e) => {
      const step = { ArrowRight: 1, ArrowDown: 1, n: 1, PageDown: 1, ArrowLeft: -1, ArrowUp: -1, p: -1, PageUp: -1 }[e.key];
      if (!step || picture + step < 1) return;
      e.preventDefault();
      picture += step;
      params.set('picture', String(picture));
      history.replaceState(null, '', `?${params}`);
      show();
    });
    await show();
  }

  // ---- The live saver ----

  const nextTask = () => new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => resolve();
    channel.port2.postMessage(null);
  });

  const kRanges = {
    algorithm: [1, 20, 20], background: [0, 20, 1], brightness: [1, 20, 14], timeShow: [1, 20, 5],
  };
  const kFlags = { backgroundRands: true, randsAlgorithm: true };
  const kStoreKey = 'nivoraglade.settings';

  function loadSettings() {
    const settings = {};
    let stored = {};
    try {
      stored = JSON.parse(localStorage.getItem(kStoreKey) || '{}') || {};
    } catch (e) {
      stored = {};  // damaged: the defaults
    }
    for (const [name, [min, max, fallback]] of Object.entries(kRanges)) {
      const value = stored[name];
      settings[name] = Number.isInteger(value) && value >= min && value <= max ? value : fallback;
    }
    for (const [name, fallback] of Object.entries(kFlags))
      settings[name] = typeof stored[name] === 'boolean' ? stored[name] : fallback;
    return settings;
  }

  function saveSettings(settings) {
    try {
      localStorage.setItem(kStoreKey, JSON.stringify(settings));
    } catch (e) {
      // Storage refused (a private window): the settings hold for this visit.
    }
  }

  async function live(params) {
    document.body.className = 'live';
    const canvas = $('picture');
    const canvasSize = () => [Math.max(1, Math.round(canvas.clientWidth * devicePixelRatio)),
                              Math.max(1, Math.round(canvas.clientHeight * devicePixelRatio))];
    let [width, height] = canvasSize();
    const problem = sizeProblem(width, height);
    if (problem) return showMessage(problem);

    let failed = false;
    const fail = (text) => {
      failed = true;
      showMessage(text);
    };
    // The workers load their modules while the page loads its own.
    const snowflakes = new Lane(fail), backgrounds = new Lane(fail);

    const m = await NivoraModule();
    const bytes = m._nv_picture_bytes(width, height);
    if (bytes > kMaxPictureBytes) return showMessage(tooLarge(width, height, bytes));
    canvas.width = width;
    canvas.height = height;
    const context = canvas.getContext('2d', { alpha: false });

    const settings = loadSettings();
    const status = { state: 'waiting', pictures: 0, changes: [], holds: [], jobs: [], lastRow: -1, width, height, seed: 0, picture: 0 };
    window.nivoraStatus = status;  // what the page shows, for its tests and the curious

    const pushSettings = () => m._nv_settings(settings.algorithm, settings.background, settings.brightness,
                                              settings.timeShow, settings.backgroundRands, settings.randsAlgorithm);
    const readNumbers = () => {
      settings.algorithm = m._nv_algorithm(0);
      settings.background = m._nv_background(0);
    };
    pushSettings();
    const seed = params.has('seed') ? Number(params.get('seed')) >>> 0 : m._nv_randomize();
    m._nv_seed(seed);
    status.seed = seed;

    // The layers of some numbers, made by the two workers side by side: the
    // snowflake's worker joins the background once its snowflake is done.
    const request = (numbers, parts, slot = 'screen') => {
      const layers = { numbers, width, height, background: null };
      layers.snowflake = parts & kSnowflake
        ? snowflakes.run({ kind: 'snowflake', width, height, algorithm: numbers.algorithm }, slot) : null;
      if (parts & kBackground) {
        layers.background = backgroundInBands({
          helpers: [{ lane: backgrounds }, { lane: snowflakes, after: layers.snowflake }], numbers, width, height,
          fieldWidth: m._nv_field_width(), fieldHeight: m._nv_field_height(), slot,
          wanted: () => layers === awaited || layers === prepared });
      }
      return layers;
    };
    const sameNumbers = (a, b) => a.algorithm === b.algorithm && a.background === b.background &&
      a.brightness === b.brightness;
    const currentNumbers = () => ({ algorithm: settings.algorithm, background: settings.background,
                                    brightness: settings.brightness });

    let awaited = null;   // layers the screen waits for
    let prepared = null;  // the next picture's, made while this one shows
    let newPicture = false;
    let holdEnd = null;   // when the hold ends, while it runs
    let nextTick = 0;
    // Whether the run is still the one `seed` gives, so that its pictures have links.
    let pureRun = true;
    const pureFlags = { backgroundRands: settings.backgroundRands, randsAlgorithm: settings.randsAlgorithm };

    m._nv_display(width, height);
    m._nv_draw_first();
    readNumbers();
    status.picture = 1;
    awaited = request(currentNumbers(), kSnowflake | kBackground);
    newPicture = true;
    followAwaited();

    function prepareNext() {
      if (awaited && newPicture) return;  // prepared once this one is taken
      m._nv_guess_next();
      const numbers = { algorithm: m._nv_algorithm(1), background: m._nv_background(1), brightness: settings.brightness };
      if (prepared && sameNumbers(prepared.numbers, numbers) && prepared.width === width) return;
      prepared = request(numbers, kSnowflake | kBackground, 'next');
    }

    // Takes the awaited layers once every part has come.
    async function followAwaited() {
      const mine = awaited;
      const [snowflake, background] = await Promise.all([mine.snowflake, mine.background]);
      if (mine !== awaited || failed || mine.width !== width || mine.height !== height) return;  // replaced meanwhile
      if (mine.snowflake && !snowflake) return;
      if (mine.background && !background) return;
      for (const part of [snowflake, background]) if (part && part.error) return fail(part.error);
      if (snowflake) status.jobs.push({ part: 'snowflake', algorithm: mine.numbers.algorithm, ms: snowflake.ms });
      if (background) status.jobs.push({ part: 'background', background: mine.numbers.background, ms: background.ms });
      // Copied a plane per task, with no tick meanwhile, so that no task of
      // the page's thread moves tens of megabytes.
      status.state = 'taking';
      if (snowflake) {
        if (snowflake.cells !== m._nv_flake_cells()) return fail('The workers made layers of another size.');
        for (let plane = 0; plane < 4; ++plane) {
          if (mine !== awaited) return;  // replaced (a new size) between two planes
          m.HEAPU8.set(new Uint8Array(snowflake.planes[plane]), m._nv_flake_plane(plane));
          await nextTask();
        }
      }
      if (background && mine === awaited) {
        m.HEAPU8.set(new Uint8Array(background.frame), m._nv_pristine());
        await nextTask();
      }
      if (mine !== awaited) return;  // replaced while it was copied: the newer one copies again
      awaited = null;
      m._nv_restart();
      nextTick = performance.now();
      status.state = 'reveal';
      if (newPicture) {
        newPicture = false;
        status.pictures++;
        status.changes.push(performance.now());
        followNumbers();
        updateLink();
        prepareNext();
      }
    }

    function holdEnded() {
      holdEnd = null;
      m._nv_draw_next();
      readNumbers();
      status.picture++;
      const numbers = currentNumbers();
      const ready = prepared && sameNumbers(prepared.numbers, numbers) && prepared.width === width && prepared.height === height;
      awaited = ready ? prepared : request(numbers, kSnowflake | kBackground);
      prepared = null;
      newPicture = true;
      status.state = 'waiting';
      followAwaited();
    }

    // About a quarter of a full-HD frame per animation frame: a new picture
    // reaches the canvas in a few bands, the reveal's rows at once.
    function draw() {
      const bandRows = Math.max(1, Math.floor((1920 * 270) / width));
      const first = m._nv_changed_first(), last = Math.min(m._nv_changed_last(), first + bandRows - 1);
      if (last < first) return;
      const pointer = m._nv_take_changed_rgba(bandRows);
      const rows = last - first + 1;
      status.lastRow = last;
      const pixels = new Uint8ClampedArray(m.HEAPU8.buffer, pointer, width * 4 * rows);
      context.putImageData(new ImageData(pixels, width, rows), 0, first);
    }

    function animationFrame(now) {
      if (failed) return;
      if (status.state === 'reveal' && now >= nextTick) {
        // The ticks due since the last frame, but no burst after the page slept.
        const due = Math.min(Math.floor((now - nextTick) / kTickMs) + 1, 20);
        for (let i = 0; i < due; ++i) {
          if (m._nv_tick()) {
            status.state = 'hold';
            status.holds.push(now);
            if (holdEnd === null) holdEnd = now + m._nv_hold_ms();
            break;
          }
        }
        nextTick = Math.max(nextTick + due * kTickMs, now - kTickMs);
      }
      if (holdEnd !== null && now >= holdEnd && status.state !== 'taking') holdEnded();
      draw();
      requestAnimationFrame(animationFrame);
    }
    requestAnimationFrame(animationFrame);

    // A window of another size gets the picture on screen made again at its
    // size, once the size has settled; the numbers go on.
    let resizeTimer = null;
    new ResizeObserver(() => {
      clearTimeout(resizeTimer);
      resizeTimer = setTimeout(() => {
        const [w, h] = canvasSize();
        if ((w === width && h === height) || sizeProblem(w, h) || m._nv_picture_bytes(w, h) > kMaxPictureBytes) return;
        [width, height] = [w, h];
        [status.width, status.height] = [w, h];
        canvas.width = width;
        canvas.height = height;
        m._nv_display(width, height);
        holdEnd = null;
        prepared = null;
        status.state = 'waiting';
        awaited = request(currentNumbers(), kSnowflake | kBackground);
        newPicture = true;
        followAwaited();
        updateLink();
      }, 150);
    }).observe(canvas);

    // ---- Settings, applied as they change ----
    const form = $('settings');
    const inputs = Object.fromEntries(
      [...Object.keys(kRanges), ...Object.keys(kFlags)].map((name) => [name, $(name)]));
    const show = () => {
      for (const name of Object.keys(kRanges)) {
        inputs[name].value = String(settings[name]);
        inputs[name].nextElementSibling.textContent = String(settings[name]);
      }
      for (const name of Object.keys(kFlags)) inputs[name].checked = settings[name];
    };
    // While a random flag is set, its slider shows the picture's number.
    function followNumbers() {
      show();
    }
    show();
    form.addEventListener('input', (e) => {
      const name = e.target.id;
      if (name === 'wakeLock') return;
      const value = e.target.type === 'checkbox' ? e.target.checked : Number(e.target.value);
      if (settings[name] === value) return;
      settings[name] = value;
      pushSettings();
      saveSettings(settings);
      show();
      if (name === 'algorithm') {
        pureRun = false;
        regenerate(kSnowflake);
      } else if (name === 'background') {
        pureRun = false;
        regenerate(kBackground);
      } else if (name === 'brightness') {
        regenerate(kBackground);
      } else if (name === 'timeShow') {
        if (holdEnd !== null) holdEnd = performance.now() + m._nv_hold_ms();  // counts from now
      } else {
        if (settings[name] !== pureFlags[name]) pureRun = false;
        prepareNext();
      }
      updateLink();
    });
    form.addEventListener('submit', (e) => e.preventDefault());

    // A layer made again from the settings; the reveal starts again once it
    // is ready, and a hold that runs goes on.
    function regenerate(part) {
      const numbers = currentNumbers();
      const parts = (awaited && newPicture ? kSnowflake | kBackground : 0) | part |
        (awaited && awaited.snowflake ? kSnowflake : 0) | (awaited && awaited.background ? kBackground : 0);
      awaited = request(numbers, parts);
      followAwaited();
      prepareNext();
    }

    // ---- The bar: settings, the link, full screen ----
    $('bar').hidden = false;
    $('show-settings').addEventListener('click', () => { form.hidden = !form.hidden; });
    function updateLink() {
      const link = new URLSearchParams();
      link.set('seed', String(seed));
      link.set('size', `${width}x${height}`);
      link.set('brightness', String(settings.brightness));
      if (pureRun) {
        link.set('picture', String(status.picture));
        if (!settings.randsAlgorithm) link.set('algorithm', String(settings.algorithm));
        if (!settings.backgroundRands) link.set('background', String(settings.background));
      } else {
        // The numbers no longer follow the seed: the picture by its own numbers.
        link.set('picture', '1');
        link.set('algorithm', String(settings.algorithm));
        link.set('background', String(settings.background));
      }
      $('link').href = `${location.pathname}?${link}`;
    }

    const inControls = (target) => target instanceof Element && target.closest('#bar, #settings');
    let pointer = null;
    canvas.addEventListener('click', () => {
      if (!document.fullscreenElement) document.documentElement.requestFullscreen().catch(() => {});
    });
    addEventListener('keydown', (e) => {
      if (document.fullscreenElement) {
        document.exitFullscreen().catch(() => {});
      } else if (!inControls(e.target)) {
        document.documentElement.requestFullscreen().catch(() => {});
      }
    });
    // In full screen a jump of the mouse ends it, as a key does.
    addEventListener('mousemove', (e) => {
      if (!document.fullscreenElement) {
        pointer = null;
        return;
      }
      if (pointer && m._nv_mouse_jump(pointer.x, pointer.y, e.screenX, e.screenY)) document.exitFullscreen().catch(() => {});
      pointer = { x: e.screenX, y: e.screenY };
    });
    document.addEventListener('fullscreenchange', () => { pointer = null; });

    // The screen kept awake only when asked for, again after the page was hidden.
    let wakeLock = null;
    const wakeBox = $('wakeLock');
    if (!('wakeLock' in navigator)) wakeBox.disabled = true;
    async function wake() {
      if (!wakeBox.checked || document.visibilityState !== 'visible' || wakeLock) return;
      try {
        wakeLock = await navigator.wakeLock.request('screen');
        wakeLock.addEventListener('release', () => { wakeLock = null; });
      } catch (e) {
        wakeBox.checked = false;
      }
    }
    wakeBox.addEventListener('change', () => {
      if (wakeBox.checked) wake();
      else if (wakeLock) wakeLock.release();
    });
    document.addEventListener('visibilitychange', wake);
  }

  // ---- In a worker ----

  function workerMain() {
    const ready = NivoraModule();
    const copy = (m, pointer, bytes) => m.HEAPU8.slice(pointer, pointer + bytes).buffer;
    self.onmessage = async (e) => {
      const job = e.data;
      const m = await ready;
      const bytes = m._nv_picture_bytes(job.width, job.height);
      if (bytes > kMaxPictureBytes) {
        self.postMessage({ id: job.id, error: tooLarge(job.width, job.height, bytes) });
        return;
      }
      if (job.kind === 'still') {
        m._nv_still(job.width, job.height, job.seed, job.picture, job.algorithm, job.background, job.brightness);
        const rgba = copy(m, m._nv_take_changed_rgba(job.height), job.width * job.height * 4);
        self.postMessage({ id: job.id, rgba, algorithm: m._nv_algorithm_of_scene(), background: m._nv_background_of_scene() },
                         [rgba]);
        return;
      }
      if (job.kind === 'band') {
        const pointer = m._nv_field_band(job.width, job.height, job.background, job.brightness, job.first, job.last);
        const colours = copy(m, pointer, (job.last - job.first) * m._nv_field_width() * 4);
        self.postMessage({ id: job.id, first: job.first, last: job.last, colours }, [colours]);
        return;
      }
      if (job.kind === 'lay') {
        const target = m._nv_field_colours(job.width, job.height);  // may grow the memory: HEAPU8 read after
        m.HEAPU8.set(new Uint8Array(job.colours), target);
        m._nv_lay();
        const frame = copy(m, m._nv_frame(), m._nv_frame_bytes());
        self.postMessage({ id: job.id, frame }, [frame]);
        return;
      }
      const start = performance.now();
      m._nv_snowflake(job.width, job.height, job.algorithm);
      const cells = m._nv_flake_cells();
      const planes = [0, 1, 2, 3].map((plane) => copy(m, m._nv_flake_plane(plane), plane === 3 ? 4 * cells : cells));
      self.postMessage({ id: job.id, ms: performance.now() - start, cells, planes }, planes);
    };
  }

  // ---- Start ----
  if (typeof WebAssembly !== 'object') {
    showMessage('Nivora Glade needs WebAssembly, which this browser does not offer or has turned off.');
  } else if (typeof Worker !== 'function') {
    showMessage('Nivora Glade needs Web Workers, which this browser does not offer.');
  } else {
    const params = new URLSearchParams(location.search);
    const run = params.has('picture') ? still(params) : live(params);
    run.catch((e) => showMessage(`Nivora Glade stopped: ${e && e.message ? e.message : e}`));
  }
})();
