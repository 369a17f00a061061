// SPDX-License-Identifier: MIT
// A loopback stand-in for the maker's platform: runtime manifest and archive, pairing with a
// web "phone", the desktop runtime status, the connector's heartbeat and the relay health path.
// Usage: node server.mjs [PORT] [--code-ttl SECONDS] [--archive FILE] [--archive-rate KIB_PER_SECOND]
// PORT 0 (the default) takes a free one. The first line printed is the base URL.
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { phonePage, DEMO_PHONE } from './phone-page.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const MAX_BODY_BYTES = 64 * 1024;

function parseArguments(argv) {
  const options = { port: 0, codeTtlSeconds: 600, archive: null, archiveRate: 0 };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    if (arg === '--code-ttl' && i + 1 < argv.length) options.codeTtlSeconds = Number(argv[++i]);
    else if (arg === '--archive' && i + 1 < argv.length) options.archive = path.resolve(argv[++i]);
    else if (arg === '--archive-rate' && i + 1 < argv.length) options.archiveRate = Number(argv[++i]);
    else if (/^\d+$/.test(arg)) options.port = Number(arg);
    else throw new Error(`unknown argument: ${arg}`);
  }
  if (!(options.codeTtlSeconds > 0) || options.port > 65535 || !(options.archiveRate >= 0))
    throw new Error('usage: server.mjs [PORT] [--code-ttl SECONDS] [--archive FILE] [--archive-rate KIB_PER_SECOND]');
  return options;
}

// The reference runtime as the installer expects it: one top folder named brevant-runtime,
// without whatever a developer's own runs left in the source folder.
function buildRuntimeArchive(workDir) {
  const archive = path.join(workDir, 'brevant-runtime.tar.gz');
  execFileSync('tar', [
    '-czf', archive,
    '--exclude=reference-runtime/state', '--exclude=reference-runtime/config/.env',
    '--sort=name', '--owner=0', '--group=0', '--numeric-owner',
    '--transform=s,^reference-runtime,brevant-runtime,',
    '-C', path.join(here, '..'), 'reference-runtime',
  ]);
  return archive;
}

async function sha256Of(file) {
  const hash = crypto.createHash('sha256');
  for await (const chunk of fs.createReadStream(file)) hash.update(chunk);
  return hash.digest('hex');
}

const isoNow = (ms = Date.now()) => new Date(ms).toISOString().replace(/\.\d{3}Z$/, 'Z');
const randomId = (prefix, bytes = 8) => `${prefix}${crypto.randomBytes(bytes).toString('hex')}`;

// Unambiguous letters and digits, read aloud or typed from a phone screen.
const CODE_ALPHABET = 'ABCDEFGHJKMNPQRSTUVWXYZ23456789';
function newSetupCode(taken) {
  for (;;) {
    const chars = Array.from({ length: 8 }, () => CODE_ALPHABET[crypto.randomInt(CODE_ALPHABET.length)]);
    const code = `${chars.slice(0, 4).join('')}-${chars.slice(4).join('')}`;
    if (!taken.has(code)) return code;
  }
}

class Platform {
  constructor({ codeTtlSeconds }) {
    this.codeTtlMs = codeTtlSeconds * 1000;
    this.pairings = new Map(); // setup code -> pairing
    this.installations = new Map(); // relay token -> { pairing, session }
  }

  createPairing({ installation_name: name, platform, workspace }) {
    const code = newSetupCode(this.pairings);
    const pairing = {
      code,
      waitKey: crypto.randomBytes(24).toString('base64url'),
      expiresAt: Date.now() + this.codeTtlMs,
      installationName: name,
      platform,
      workspace,
      state: 'pending', // then 'confirmed' by the phone, then 'claimed' by the desktop
      token: null,
    };
    this.pairings.set(code, pairing);
    return pairing;
  }

  pending() {
    const now = Date.now();
    return [...this.pairings.values()].filter((p) => p.state === 'pending' && p.expiresAt > now);
  }

  // Returns [status, body] for the phone's confirmation of a code.
  confirm(code, phone) {
    const pairing = this.pairings.get(code);
    if (!pairing) return [404, { ok: false, error: `unknown setup code ${code}` }];
    if (pairing.state !== 'pending') return [409, { ok: false, error: `setup code ${code} was already confirmed` }];
    if (pairing.expiresAt <= Date.now()) return [410, { ok: false, error: `setup code ${code} has expired` }];
    const now = isoNow();
    pairing.state = 'confirmed';
    pairing.token = `rt_${crypto.randomBytes(24).toString('base64url')}`;
    pairing.phone = phone.device_name;
    this.installations.set(pairing.token, {
      pairing: {
        installation_id: randomId('inst_'),
        installation_name: pairing.installationName,
        platform: pairing.platform,
        workspace: pairing.workspace,
        paired_at: now,
        last_seen_at: null,
      },
      session: {
        id: randomId('sess_'),
        product_code: 'brevant',
        session_source: 'pairing',
        platform: phone.platform,
        device_id: randomId('dev_'),
        device_name: phone.device_name,
        device_model: phone.device_model,
        app_version: phone.app_version,
        app_build: phone.app_build,
        login_at: now,
        last_seen_at: now,
        revoked_at: null,
      },
    });
    return [200, { ok: true, installation_name: pairing.installationName, workspace: pairing.workspace }];
  }
}

class HttpError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

function sendJson(res, status, body, headers = {}) {
  const text = `${JSON.stringify(body)}\n`;
  res.writeHead(status, { 'Content-Type': 'application/json; charset=utf-8', 'Content-Length': Buffer.byteLength(text), 'Cache-Control': 'no-store', ...headers });
  res.end(text);
}

function sendHtml(res, status, html) {
  res.writeHead(status, { 'Content-Type': 'text/html; charset=utf-8', 'Content-Length': Buffer.byteLength(html), 'Cache-Control': 'no-store' });
  res.end(html);
}

// JSON everywhere except the phone page's form.
async function readBody(req, { form = false } = {}) {
  const chunks = [];
  let size = 0;
  for await (const chunk of req) {
    size += chunk.length;
    if (size > MAX_BODY_BYTES) throw new HttpError(413, 'request body too large');
    chunks.push(chunk);
  }
  const text = Buffer.concat(chunks).toString('utf8');
  if (form) return Object.fromEntries(new URLSearchParams(text));
  let body;
  try {
    body = text === '' ? {} : JSON.parse(text);
  } catch {
    throw new HttpError(400, 'request body is not valid JSON');
  }
  if (body === null || typeof body !== 'object' || Array.isArray(body)) throw new HttpError(400, 'request body must be a JSON object');
  return body;
}

function optionalText(body, key, fallback) {
  const value = body[key];
  if (value === undefined || value === null || value === '') return fallback;
  if (typeof value !== 'string') throw new HttpError(400, `${key} must be a string`);
  return value.trim().slice(0, 200);
}

function bearer(req) {
  const match = /^Bearer\s+(\S+)\s*$/i.exec(req.headers.authorization || '');
  return match ? match[1] : null;
}

function phoneFrom(body) {
  return {
    device_name: optionalText(body, 'device_name', DEMO_PHONE.device_name),
    platform: optionalText(body, 'platform', DEMO_PHONE.platform),
    device_model: optionalText(body, 'device_model', DEMO_PHONE.device_model),
    app_version: optionalText(body, 'app_version', DEMO_PHONE.app_version),
    app_build: optionalText(body, 'app_build', DEMO_PHONE.app_build),
  };
}

function setupCodeFrom(body) {
  const code = body.setup_code;
  if (typeof code !== 'string' || code.trim() === '') throw new HttpError(400, 'setup_code is required');
  return code.trim().toUpperCase();
}

function decodeSegment(text) {
  try {
    return decodeURIComponent(text);
  } catch {
    throw new HttpError(400, 'malformed setup code in the address');
  }
}

function makeHandler(platform, archive) {
  const routes = {
    'GET /': (req, res, url) => sendHtml(res, 200, phonePage(platform, url.searchParams)),

    'POST /phone/confirm': async (req, res) => {
      const body = await readBody(req, { form: true });
      const code = setupCodeFrom(body);
      const [status, answer] = platform.confirm(code, phoneFrom({}));
      if (status !== 200) throw new HttpError(status, answer.error);
      res.writeHead(303, { Location: `/?confirmed=${encodeURIComponent(code)}` });
      res.end();
    },

    'GET /v1/health': (req, res) => sendJson(res, 200, { ok: true }),
    'GET /relay/healthz': (req, res) => sendJson(res, 200, { ok: true }),

    'GET /brevant/runtime-manifest.json': (req, res, url) =>
      sendJson(res, 200, { tarball_url: `${url.origin}/brevant/brevant-runtime.tar.gz`, sha256_tar_gz: archive.sha256 }),

    'GET /brevant/brevant-runtime.tar.gz': (req, res) => {
      res.writeHead(200, { 'Content-Type': 'application/gzip', 'Content-Length': archive.size });
      if (req.method === 'HEAD') return res.end();
      // Streamed: a large archive costs a read buffer per download, not its whole size.
      // Paced downloads go in quarter-second pieces, so progress shows.
      const piece = archive.rate ? Math.max(256, Math.floor((archive.rate * 1024) / 4)) : 64 * 1024;
      const stream = fs.createReadStream(archive.path, { highWaterMark: Math.min(piece, 64 * 1024) });
      stream.on('error', () => res.destroy());
      res.on('close', () => stream.destroy());
      if (!archive.rate) return stream.pipe(res);
      stream.on('data', (chunk) => {
        stream.pause();
        res.write(chunk);
        setTimeout(() => stream.resume(), (chunk.length / 1024 / archive.rate) * 1000);
      });
      stream.on('end', () => res.end());
    },

    'POST /v1/desktop/pairing/codes': async (req, res, url) => {
      const body = await readBody(req);
      const pairing = platform.createPairing({
        installation_name: optionalText(body, 'installation_name', 'Desktop'),
        platform: optionalText(body, 'platform', 'desktop'),
        workspace: optionalText(body, 'workspace', 'main'),
      });
      sendJson(res, 201, {
        setup_code: pairing.code,
        expires_at: isoNow(pairing.expiresAt),
        wait_key: pairing.waitKey,
        pairing_url: `${url.origin}/?code=${encodeURIComponent(pairing.code)}`,
      });
    },

    'GET /v1/phone/pairing/pending': (req, res) =>
      sendJson(res, 200, {
        ok: true,
        pending: platform.pending().map((p) => ({ setup_code: p.code, installation_name: p.installationName, workspace: p.workspace, expires_at: isoNow(p.expiresAt) })),
      }),

    'POST /v1/phone/pairing/confirm': async (req, res) => {
      const body = await readBody(req);
      const [status, answer] = platform.confirm(setupCodeFrom(body), phoneFrom(body));
      sendJson(res, status, answer);
    },

    'GET /v1/desktop/runtime/status': (req, res) => {
      const installation = platform.installations.get(bearer(req));
      if (!installation) return sendJson(res, 401, { ok: false });
      sendJson(res, 200, { ok: true, desktop_pairing: installation.pairing, current_app_session: installation.session });
    },

    'POST /v1/desktop/heartbeat': async (req, res) => {
      await readBody(req);
      const installation = platform.installations.get(bearer(req));
      if (!installation) return sendJson(res, 401, { ok: false, error: 'unknown relay token' });
      installation.pairing.last_seen_at = isoNow();
      sendJson(res, 200, { ok: true });
    },

    'POST /v1/desktop/pairing/revoke': async (req, res) => {
      await readBody(req);
      const token = bearer(req);
      if (!platform.installations.delete(token)) return sendJson(res, 401, { ok: false, error: 'unknown relay token' });
      sendJson(res, 200, { ok: true });
    },
  };

  // The desktop's wait step polls its code with the key it got when it asked for the code.
  const pollPairing = (req, res, code) => {
    const pairing = platform.pairings.get(code);
    if (!pairing) return sendJson(res, 404, { ok: false, error: `unknown setup code ${code}` });
    if (bearer(req) !== pairing.waitKey) return sendJson(res, 401, { ok: false, error: 'wrong pairing key' });
    if (pairing.state === 'claimed') return sendJson(res, 409, { ok: false, error: 'this pairing was already completed' });
    if (pairing.state === 'pending') {
      if (pairing.expiresAt <= Date.now()) return sendJson(res, 410, { ok: false, error: `setup code ${code} has expired` });
      return sendJson(res, 200, { ok: true, status: 'pending', expires_at: isoNow(pairing.expiresAt) });
    }
    pairing.state = 'claimed';
    const base = `http://${req.headers.host}`;
    const { workspace } = platform.installations.get(pairing.token)?.pairing ?? pairing;
    sendJson(res, 200, { ok: true, status: 'confirmed', relay_token: pairing.token, workspace, relay_base_url: `${base}/relay`, device_name: pairing.phone });
  };

  return async (req, res) => {
    const method = req.method === 'HEAD' ? 'GET' : req.method;
    let url = null;
    try {
      try {
        url = new URL(req.url, `http://${req.headers.host || '127.0.0.1'}`);
      } catch {
        url = new URL('http://127.0.0.1/');
        throw new HttpError(400, 'malformed request address');
      }
      const route = routes[`${method} ${url.pathname}`];
      const poll = /^\/v1\/desktop\/pairing\/codes\/([^/]+)$/.exec(url.pathname);
      if (route) await route(req, res, url);
      else if (poll && method === 'GET') pollPairing(req, res, decodeSegment(poll[1]));
      else if (Object.keys(routes).some((key) => key.endsWith(` ${url.pathname}`)) || poll) throw new HttpError(405, `${req.method} is not allowed on ${url.pathname}`);
      else throw new HttpError(404, `nothing at ${url.pathname}`);
    } catch (error) {
      const status = error instanceof HttpError ? error.status : 500;
      if (status === 500) console.error(`error on ${req.method} ${url.pathname}: ${error.stack}`);
      if (!res.headersSent) {
        if (url.pathname.startsWith('/phone/')) sendHtml(res, status, phonePage(platform, url.searchParams, error.message));
        else sendJson(res, status, { ok: false, error: error.message });
      } else {
        res.destroy();
      }
    }
    console.error(`${req.method} ${url.pathname} ${res.statusCode}`);
  };
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'skerrin-dev-platform-'));
  const cleanUp = () => fs.rmSync(workDir, { recursive: true, force: true });
  try {
    const archivePath = options.archive ?? buildRuntimeArchive(workDir);
    const archive = { path: archivePath, size: fs.statSync(archivePath).size, sha256: await sha256Of(archivePath), rate: options.archiveRate };
    const platform = new Platform(options);
    const server = http.createServer(makeHandler(platform, archive));
    server.requestTimeout = 30_000;
    server.headersTimeout = 10_000;
    await new Promise((resolve, reject) => {
      server.once('error', reject);
      server.listen(options.port, '127.0.0.1', resolve);
    });
    const stop = (signal) => {
      console.error(`dev platform: ${signal}, stopping`);
      server.close();
      server.closeAllConnections?.();
      cleanUp();
      process.exit(0);
    };
    process.on('SIGTERM', stop);
    process.on('SIGINT', stop);
    console.log(`http://127.0.0.1:${server.address().port}`);
    console.error(`dev platform: runtime archive ${archive.size} bytes, sha256 ${archive.sha256}; setup codes last ${options.codeTtlSeconds} s`);
  } catch (error) {
    cleanUp();
    console.error(`dev platform: ${error.message}`);
    process.exit(1);
  }
}

main();
