// The messaging adapter: the page speaks the host's bridge messages either through the web
// view's own API (window.max) or, in an ordinary browser, through the server's /messages and
// /events routes. Requests go one at a time, as the engine answers them, so a reply that
// carries no request_id still belongs to the request that is outstanding.

const REPLY_TIMEOUT_MS = 20000;

// Types the engine never answers.
const SILENT_TYPES = new Set(['write_clipboard']);

// Joins the pieces of a long reply; pieces of one reply share an id and arrive in index order.
export class ChunkAssembler {
  constructor() { this.partial = new Map(); }

  // Returns {type, text} once the last piece of a reply has arrived, otherwise null.
  add(recordText) {
    let record;
    try { record = typeof recordText === 'string' ? JSON.parse(recordText) : recordText; } catch { return null; }
    if (!record || typeof record.id !== 'string' || typeof record.chunk !== 'string') return null;
    const total = Number(record.total);
    const index = Number(record.index);
    if (!Number.isInteger(total) || !Number.isInteger(index) || total < 1 || index < 0 || index >= total) return null;
    let entry = this.partial.get(record.id);
    if (!entry) {
      entry = { type: record.type, total, pieces: new Array(total), received: 0 };
      this.partial.set(record.id, entry);
    }
    if (entry.pieces[index] === undefined) { entry.pieces[index] = record.chunk; entry.received += 1; }
    if (entry.received < entry.total) return null;
    this.partial.delete(record.id);
    return { type: entry.type, text: entry.pieces.join('') };
  }
}

export class EngineError extends Error {
  constructor(message, envelope = null) { super(message); this.name = 'EngineError'; this.envelope = envelope; }
}

// The text an engine error reply shows to a person.
export function errorText(envelope) {
  if (!envelope) return 'No reply from the engine';
  const p = envelope.payload || {};
  const firstText = [envelope.error, p.message, p.error].find((v) => typeof v === 'string' && v !== '');
  if (Array.isArray(p.errors) && p.errors.length > 0) {
    const tokens = p.errors.map((e) => (e && typeof e.token === 'string' ? e.token : '?'));
    return `Could not read ${tokens.length === 1 ? 'the chord' : 'the chords'} ${tokens.map((t) => `“${t}”`).join(', ')}`;
  }
  return firstText || `The engine could not answer ${envelope.type || 'the request'}`;
}

export class Bridge extends EventTarget {
  constructor({ fetchImpl = globalThis.fetch?.bind(globalThis), hostApi = globalThis.max } = {}) {
    super();
    this.hostApi = hostApi || null;
    this.fetchImpl = fetchImpl;
    this.queue = Promise.resolve();
    this.pending = null;
    this.counter = 0;
    this.outstanding = 0;
    this.assembler = new ChunkAssembler();
    if (this.hostApi) this.bindHost(); else this.listenToEvents();
  }

  get transport() { return this.hostApi ? 'host' : 'http'; }

  // Sends one request and resolves with the reply envelope (ok or not). Rejects only when no
  // reply can be had (transport failure, timeout). Types without a reply resolve with null.
  request(type, payload = {}) {
    const run = () => this.sendNow(type, payload);
    const result = this.queue.then(run, run);
    this.queue = result.catch(() => {});
    this.setOutstanding(+1);
    return result.finally(() => this.setOutstanding(-1));
  }

  setOutstanding(delta) {
    this.outstanding += delta;
    this.dispatchEvent(new CustomEvent('busy', { detail: this.outstanding > 0 }));
  }

  nextRequestId() { this.counter += 1; return `page-${this.counter}`; }

  envelopeText(type, payload) {
    const requestId = this.nextRequestId();
    return { requestId, text: JSON.stringify({ type, payload, request_id: requestId }) };
  }

  async sendNow(type, payload) {
    const { requestId, text } = this.envelopeText(type, payload);
    if (this.hostApi) return this.sendThroughHost(type, text, requestId);
    return this.sendThroughHttp(type, text, requestId);
  }

  // ---- in the host's web view --------------------------------------------------------------
  bindHost() {
    this.hostApi.bindInlet('toJweb', (replyType, text) => {
      if (replyType === '__tw_chunk') {
        const whole = this.assembler.add(text);
        if (whole) this.receiveReply(whole.type, whole.text);
        return;
      }
      this.receiveReply(replyType, text);
    });
    this.hostApi.bindInlet('toBridge', (name, text) => this.notify('bridge', { name, text }));
  }

  receiveReply(replyType, text) {
    let envelope;
    try { envelope = JSON.parse(String(text)); } catch { this.notify('problem', { message: 'The engine sent a reply the page could not read' }); return; }
    const waiting = this.pending;
    const belongs = waiting && (envelope.request_id === waiting.requestId
      || (envelope.request_id === undefined && replyType !== 'system_wake'));
    if (belongs) { this.pending = null; clearTimeout(waiting.timer); waiting.resolve(envelope); return; }
    this.notify('reply', envelope);
  }

  sendThroughHost(type, text, requestId) {
    this.hostApi.outlet('fromJweb', type, text);
    if (SILENT_TYPES.has(type)) return Promise.resolve(null);
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        if (this.pending && this.pending.requestId === requestId) this.pending = null;
        reject(new EngineError(type === 'read_clipboard' ? 'The clipboard could not be read' : 'No reply from the engine'));
      }, REPLY_TIMEOUT_MS);
      this.pending = { requestId, resolve, timer };
    });
  }

  // ---- in an ordinary browser, through the server ------------------------------------------
  async sendThroughHttp(type, text, requestId) {
    let response;
    try {
      response = await this.fetchImpl('messages', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify(['fromJweb', type, text]),
      });
    } catch {
      throw new EngineError('The server cannot be reached; is tonalweaver serve still running?');
    }
    let body = null;
    try { body = await response.json(); } catch { body = null; }
    if (!response.ok) {
      const why = body && typeof body.error === 'string' ? body.error : `HTTP ${response.status}`;
      throw new EngineError(`The server refused the request: ${why}`);
    }
    if (!Array.isArray(body)) throw new EngineError('The server sent an answer the page could not read');
    let reply = null;
    for (const message of body) {
      const envelope = this.takeMessage(message);
      if (envelope && !reply && (envelope.request_id === undefined || envelope.request_id === requestId)) reply = envelope;
      else if (envelope) this.notify('reply', envelope);
    }
    if (reply) return reply;
    if (SILENT_TYPES.has(type)) return null;
    throw new EngineError(type === 'read_clipboard' ? 'The clipboard could not be read' : 'No reply from the engine');
  }

  // One outlet message in the {"atoms":[...],"outlet":N} form; returns a reply envelope if it completes one.
  takeMessage(message) {
    if (!message || !Array.isArray(message.atoms)) return null;
    const [selector, first, second] = message.atoms;
    if (message.outlet === 1) { this.notify('notes', message.atoms.filter(Number.isInteger)); return null; }
    if (selector === 'toBridge') { this.notify('bridge', { name: first, text: second }); return null; }
    if (selector !== 'toJweb') return null;
    let replyText = second;
    if (first === '__tw_chunk') {
      const whole = this.assembler.add(second);
      if (!whole) return null;
      replyText = whole.text;
    }
    try { return JSON.parse(String(replyText)); } catch { return null; }
  }

  listenToEvents() {
    if (typeof EventSource === 'undefined') return;
    const source = new EventSource('events');
    source.onmessage = (event) => {
      let message;
      try { message = JSON.parse(event.data); } catch { return; }
      const envelope = this.takeMessage(message);
      if (envelope) this.notify('reply', envelope);
    };
    this.eventSource = source;
  }

  notify(name, detail) { this.dispatchEvent(new CustomEvent(name, { detail })); }
}
