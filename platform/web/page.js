// The page around the demo: the start-up question as HTML over the page, full screen from the
// click that answers it, one pass of the driver per display refresh, the end of the run, and the
// song's WAV link. With ?at=S it is the offline frame page instead: every frame at exactly
// n / 60 s from 0 up to the one at S seconds, nothing asked and nothing played; it then keeps
// that frame and marks itself ready (document.body.dataset.ready = "1").
(function () {
  'use strict';
  var $ = function (id) { return document.getElementById(id); };
  var FPS = 60;

  function showBox(box, caption, text) {
    $(box + '-caption').textContent = caption;
    $(box + '-text').textContent = text;
    $(box).hidden = false;
  }

  // The page's yes / no box; `answer` runs inside the click, where the browser allows full
  // screen and sound.
  function ask(caption, text, answer) {
    showBox('question', caption, text);
    var done = function (yes) {
      return function () {
        $('question').hidden = true;
        $('yes').onclick = $('no').onclick = null;
        answer(yes);
      };
    };
    $('yes').onclick = done(true);
    $('no').onclick = done(false);
    $('yes').focus();
  }

  function showMessage(text, caption) {
    showBox('message', caption, text);
    $('ok').onclick = function () { $('message').hidden = true; };
  }

  function ended() {
    $('ended').hidden = false;
    document.body.dataset.state = 'ended';
  }

  // --- The song as a WAV, rendered on the first click in an instance of its own (the demo's
  // mixer is busy playing).
  var wavUrl = null;
  $('song-wav').addEventListener('click', function (event) {
    if (wavUrl) return;
    event.preventDefault();
    var link = this;
    if (link.dataset.rendering) return;
    link.dataset.rendering = '1';
    var label = link.textContent;
    link.textContent = 'Rendering the song\u2026';
    createBrusk({}).then(function (m) {
      var sizeAt = m._malloc(4);
      var at = m._brusk_render_wav(sizeAt);
      var size = m.HEAPU32[sizeAt >> 2];
      link.textContent = label;
      delete link.dataset.rendering;
      if (!at || !size) {
        link.textContent = 'The song could not be rendered';
        return;
      }
      wavUrl = URL.createObjectURL(new Blob([m.HEAPU8.slice(at, at + size)], {type: 'audio/wav'}));
      link.href = wavUrl;
      link.dataset.ready = '1';
      link.click();
    });
  });

  var params = new URLSearchParams(location.search);
  if (params.has('at')) {
    offline(Number(params.get('at')));
    return;
  }

  // --- The live demo.
  var loading = createBrusk({canvas: $('canvas'), showMessage: showMessage});
  document.body.dataset.state = 'question';
  ask('-*- Gfx Mode Selection -*-', 'Start in fullscreen ? (RECOMMANDED)', function (yes) {
    window.bruskAnsweredAt = performance.now();  // with bruskFirstFrameAt: the start-up's time
    var audio = null;
    try {
      audio = new AudioContext({sampleRate: 44100});
      audio.resume();
    } catch (e) {
      audio = null;  // the start-up finds no device and closes, as the program does without one
    }
    if (!yes) {
      start(audio, 0, -1);
      return;
    }
    var stage = $('stage');
    var request = stage.requestFullscreen ? stage.requestFullscreen() : Promise.reject(new Error('no full screen'));
    request.then(function () { start(audio, 1, -1); }, function () {
      ask('Orlu GL', 'The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?',
          function (windowed) { start(audio, 1, windowed ? 1 : 0); });
    });
  });

  function start(audio, first, fallback) {
    loading.then(function (m) {
      m.audioContext = audio;
      if (!m._brusk_live_start(first, fallback)) {
        ended();
        return;
      }
      document.body.dataset.state = 'running';
      // Escape in full screen is the browser's way out of it, and it may keep the key to itself:
      // leaving full screen while the demo runs there is that Escape.
      if (document.fullscreenElement) {
        document.addEventListener('fullscreenchange', function left() {
          if (document.fullscreenElement) return;
          document.removeEventListener('fullscreenchange', left);
          if (document.body.dataset.state === 'running') m._brusk_live_escape();
        });
      }
      var frame = function () {
        var going = m._brusk_live_frame();
        if (!window.bruskFirstFrameAt) window.bruskFirstFrameAt = performance.now();
        if (going) requestAnimationFrame(frame);
        else ended();
      };
      requestAnimationFrame(frame);
      window.bruskModule = m;  // for the page's tests: the audible position
    });
  }

  // --- The offline frame page.
  function offline(seconds) {
    $('canvas').style.visibility = 'visible';
    $('save').hidden = true;
    createBrusk({canvas: $('canvas'), showMessage: showMessage}).then(function (m) {
      if (!m._brusk_offline_start()) {
        document.body.dataset.ready = 'failed';
        return;
      }
      var drawn = -1;
      // Draws on to the frame at `s` seconds, yielding to the browser now and then; resolves
      // with that frame's number.
      window.bruskFrameAt = function (s) {
        var target = Math.ceil(s * FPS - 1e-9);
        return new Promise(function (resolve) {
          var step = function () {
            var until = performance.now() + 50;
            while (drawn < target && performance.now() < until) drawn = m._brusk_offline_frame();
            if (drawn < target) setTimeout(step, 0);
            else resolve(drawn);
          };
          step();
        });
      };
      // The frame on the canvas as RGBA, top row first, in base64.
      window.bruskPixels = function () {
        var at = m._brusk_read_pixels(), row = 640 * 4, out = new Uint8Array(row * 480);
        for (var y = 0; y < 480; y++) out.set(m.HEAPU8.subarray(at + (479 - y) * row, at + (480 - y) * row), y * row);
        var text = '';
        for (var i = 0; i < out.length; i += 0x8000) text += String.fromCharCode.apply(null, out.subarray(i, i + 0x8000));
        return btoa(text);
      };
      // Each of `count` more frames timed in milliseconds: [the whole frame, to the end of its
      // drawing; the part spent in the page's own code, until its last call returned].
      window.bruskTimeFrames = function (count) {
        var times = [];
        for (var i = 0; i < count; i++) {
          var t0 = performance.now();
          drawn = m._brusk_offline_frame();
          var t1 = performance.now();
          m._brusk_finish();
          times.push([performance.now() - t0, t1 - t0]);
        }
        return times;
      };
      window.bruskFrameAt(seconds).then(function () { document.body.dataset.ready = '1'; });
    });
  }
})();
