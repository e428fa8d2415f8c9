// The browser's side of the platform seam: the page's full-screen state, cursor and messages,
// and the wave-output device on Web Audio. Linked into the page's script with --js-library.
mergeInto(LibraryManager.library, {
  $BruskAudio: {
    context: null,
    node: null,
    ring: 0,        // the ring's first sample, as an index into HEAP16
    frames: 0,      // the ring's length in stereo frames
    copied: 0,      // frames handed to the audio node since play
    start: -1,      // the audio clock's time at which the first of them is heard
    heard: 0,
    // The sound pauses while the tab is hidden, so that the ring never loops unrefilled; the
    // audio clock stops with it, and so does the position the show follows.
    onVisibility: function() {
      var c = BruskAudio.context;
      if (!c || c.state === 'closed') return;
      if (document.hidden) c.suspend(); else c.resume();
    },
  },

  brusk_audio_open__deps: ['$BruskAudio'],
  brusk_audio_open: function(rate) {
    var c = Module['audioContext'];  // made by the page in the user's click, which lets it sound
    try {
      if (!c) c = new AudioContext({sampleRate: rate});
    } catch (e) {
      console.error('brusk: no Web Audio: ' + e);
      return 0;
    }
    if (c.sampleRate !== rate) {
      console.error('brusk: the audio runs at ' + c.sampleRate + ' Hz, not ' + rate);
      return 0;
    }
    BruskAudio.context = c;
    document.addEventListener('visibilitychange', BruskAudio.onVisibility);
    if (c.state === 'suspended' && !document.hidden) c.resume();
    return 1;
  },

  brusk_audio_play__deps: ['$BruskAudio'],
  brusk_audio_play: function(ring, bytes) {
    var a = BruskAudio;
    if (!a.context) return;
    if (a.node) { a.node.disconnect(); a.node.onaudioprocess = null; }
    a.ring = ring >> 1;
    a.frames = bytes >> 2;
    a.copied = 0;
    a.start = -1;
    a.heard = 0;
    var node = a.context.createScriptProcessor(2048, 0, 2);
    node.onaudioprocess = function(e) {
      var left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
      if (a.start < 0) a.start = e.playbackTime - a.copied / a.context.sampleRate;
      var heap = HEAP16, at = a.copied % a.frames;
      for (var i = 0; i < left.length; i++) {
        var k = a.ring + at * 2;
        left[i] = heap[k] / 32768;
        right[i] = heap[k + 1] / 32768;
        if (++at === a.frames) at = 0;
      }
      a.copied += left.length;
    };
    node.connect(a.context.destination);
    a.node = node;
  },

  // Frames heard so far, by the audio clock: never more than were handed over, never less than
  // last time.
  brusk_audio_heard_frames__deps: ['$BruskAudio'],
  brusk_audio_heard_frames: function() {
    var a = BruskAudio, c = a.context;
    if (!c || a.start < 0) return 0;
    var t = c.currentTime;
    if (c.getOutputTimestamp) {
      var stamp = c.getOutputTimestamp();
      if (stamp.contextTime > 0) t = stamp.contextTime;
    }
    var heard = Math.floor((t - a.start) * c.sampleRate);
    if (heard > a.copied) heard = a.copied;
    if (heard > a.heard) a.heard = heard;
    return a.heard;
  },

  brusk_audio_reset__deps: ['$BruskAudio'],
  brusk_audio_reset: function() {
    var a = BruskAudio;
    if (a.node) { a.node.disconnect(); a.node.onaudioprocess = null; a.node = null; }
    a.start = -1;
    a.copied = 0;
    a.heard = 0;
  },

  brusk_audio_close__deps: ['$BruskAudio'],
  brusk_audio_close: function() {
    var a = BruskAudio;
    document.removeEventListener('visibilitychange', BruskAudio.onVisibility);
    if (a.context && a.context.state !== 'closed') a.context.close();
    a.context = null;
    Module['audioContext'] = null;
  },

  brusk_page_is_fullscreen: function() { return document.fullscreenElement ? 1 : 0; },
  brusk_page_leave_fullscreen: function() {
    if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(function() {});
  },
  brusk_page_show_cursor: function(visible) {
    var canvas = document.getElementById('canvas');
    if (canvas) canvas.style.cursor = visible ? '' : 'none';
  },
  brusk_page_show_canvas: function(visible) {
    var canvas = document.getElementById('canvas');
    if (canvas) canvas.style.visibility = visible ? 'visible' : 'hidden';
  },
  brusk_page_show_message: function(text, caption) {
    var show = Module['showMessage'];
    if (show) show(UTF8ToString(text), UTF8ToString(caption));
    else console.error(UTF8ToString(caption) + ': ' + UTF8ToString(text));
  },
});
