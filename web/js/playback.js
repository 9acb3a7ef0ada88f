// Playback of the voiced progression: a small Web Audio synthesiser, and Web MIDI output when
// the browser offers it and the person asks for it.
import { noteEvents, progressionSteps, slotSpan } from './rhythm.js';

const LOOKAHEAD_S = 0.08;

export class Player extends EventTarget {
  constructor() {
    super();
    this.context = null;
    this.voices = [];
    this.timers = [];
    this.midiOutput = null;
    this.playing = false;
  }

  ensureAudio() {
    if (!this.context) {
      const AudioContextClass = globalThis.AudioContext || globalThis.webkitAudioContext;
      if (!AudioContextClass) return null;
      this.context = new AudioContextClass();
      this.master = this.context.createGain();
      this.master.gain.value = 0.18;
      this.master.connect(this.context.destination);
    }
    if (this.context.state === 'suspended') this.context.resume();
    return this.context;
  }

  // Schedules one note through Web Audio and the MIDI output; times are seconds from now.
  scheduleNote(note, startIn, length) {
    const context = this.ensureAudio();
    if (context) {
      const t0 = context.currentTime + LOOKAHEAD_S + startIn;
      const t1 = t0 + Math.max(0.05, length);
      const oscillator = context.createOscillator();
      const gain = context.createGain();
      oscillator.type = 'triangle';
      oscillator.frequency.value = 440 * 2 ** ((note - 69) / 12);
      gain.gain.setValueAtTime(0, t0);
      gain.gain.linearRampToValueAtTime(0.5, t0 + 0.01);
      gain.gain.exponentialRampToValueAtTime(0.2, t0 + Math.min(0.4, (t1 - t0) * 0.8));
      gain.gain.setValueAtTime(0.2, t1 - 0.03);
      gain.gain.linearRampToValueAtTime(0, t1);
      oscillator.connect(gain).connect(this.master);
      oscillator.start(t0);
      oscillator.stop(t1 + 0.02);
      this.voices.push(oscillator);
      oscillator.onended = () => { this.voices = this.voices.filter((v) => v !== oscillator); };
    }
    if (this.midiOutput) {
      const at = performance.now() + (LOOKAHEAD_S + startIn) * 1000;
      try {
        this.midiOutput.send([0x90, note, 90], at);
        this.midiOutput.send([0x80, note, 0], at + Math.max(50, length * 1000) - 5);
      } catch { /* a port that went away just stays silent */ }
    }
  }

  audition(notes, seconds = 1.2) {
    for (const n of notes) this.scheduleNote(n, 0, seconds);
  }

  play(slots, { rhythm, tempo = 96, loop = false } = {}) {
    this.stop();
    const events = noteEvents(slots, rhythm);
    if (events.length === 0) return false;
    const stepSeconds = 60 / Math.min(300, Math.max(20, Number(tempo) || 96)) / 4;
    const passSeconds = progressionSteps(slots) * stepSeconds;
    this.playing = true;
    const pass = () => {
      for (const e of events) for (const n of e.notes) this.scheduleNote(n, e.step * stepSeconds, e.duration * stepSeconds);
      slots.forEach((slot, i) => this.later(() => this.notify('slot', i), slotSpan(slot, i).start * stepSeconds));
      this.later(() => (loop && this.playing ? pass() : this.finish()), passSeconds);
    };
    pass();
    return true;
  }

  later(fn, seconds) { this.timers.push(setTimeout(fn, (seconds + LOOKAHEAD_S) * 1000)); }

  finish() {
    this.playing = false;
    this.timers.forEach(clearTimeout);
    this.timers = [];
    this.notify('stopped', null);
  }

  stop() {
    const was = this.playing;
    this.timers.forEach(clearTimeout);
    this.timers = [];
    for (const v of this.voices) { try { v.stop(); } catch { /* already stopped */ } }
    this.voices = [];
    if (this.midiOutput) {
      try { this.midiOutput.clear?.(); for (let ch = 0; ch < 16; ch += 1) this.midiOutput.send([0xb0 | ch, 123, 0]); } catch { /* port gone */ }
    }
    this.playing = false;
    if (was) this.notify('stopped', null);
  }

  // Asks the browser for MIDI outputs; resolves with the list (empty when not offered).
  static async midiOutputs() {
    if (!navigator.requestMIDIAccess) return null;
    const access = await navigator.requestMIDIAccess();
    return [...access.outputs.values()];
  }

  notify(name, detail) { this.dispatchEvent(new CustomEvent(name, { detail })); }
}
