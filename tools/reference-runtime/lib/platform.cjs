// SPDX-License-Identifier: MIT
// What the runtime's node scripts share: the env file and bounded JSON calls to the platform.
'use strict';

const fs = require('node:fs');
const http = require('node:http');
const https = require('node:https');

const REQUEST_TIMEOUT_MS = 8000;
const MAX_RESPONSE_BYTES = 1 << 20;

function readEnvFile(path) {
  let text;
  try {
    text = fs.readFileSync(path, 'utf8');
  } catch {
    return {};
  }
  const values = {};
  for (const raw of text.split(/\r\n|[\n\r\v\f\u0085\u2028\u2029]/)) {
    const line = raw.trim();
    const eq = line.indexOf('=');
    if (line === '' || line.startsWith('#') || eq < 0) continue;
    let value = line.slice(eq + 1).trim();
    if (value.length >= 2 && ((value[0] === '"' && value.endsWith('"')) || (value[0] === "'" && value.endsWith("'")))) {
      value = value.slice(1, -1);
    }
    values[line.slice(0, eq).trim()] = value;
  }
  return values;
}

// Sets or (with null) removes keys, keeping every other line as it was; written through a
// temporary file so a reader never sees half a file.
function updateEnvFile(path, changes) {
  let lines = [];
  try {
    lines = fs.readFileSync(path, 'utf8').split('\n');
    if (lines.at(-1) === '') lines.pop();
  } catch (error) {
    if (error.code !== 'ENOENT') throw error;
  }
  const pending = new Map(Object.entries(changes));
  const kept = [];
  for (const line of lines) {
    const key = line.includes('=') ? line.slice(0, line.indexOf('=')).trim() : null;
    if (key === null || !pending.has(key)) {
      kept.push(line);
    } else if (pending.get(key) !== null) {
      kept.push(`${key}=${pending.get(key)}`);
      pending.set(key, null);
    }
  }
  for (const [key, value] of pending) {
    if (value !== null) kept.push(`${key}=${value}`);
  }
  const temporary = `${path}.tmp-${process.pid}`;
  fs.writeFileSync(temporary, kept.map((line) => `${line}\n`).join(''), { mode: 0o600 });
  fs.renameSync(temporary, path);
}

function joinUrl(base, path) {
  return base.replace(/\/+$/, '') + path;
}

// One request with a JSON body in and out; resolves { status, body } (body null when the
// answer is not JSON), rejects on transport errors and after the time-out.
function platformRequest(method, url, { token, body, timeoutMs = REQUEST_TIMEOUT_MS } = {}) {
  return new Promise((resolve, reject) => {
    let target;
    try {
      target = new URL(url);
    } catch {
      reject(new Error(`invalid platform URL: ${url}`));
      return;
    }
    const client = target.protocol === 'https:' ? https : target.protocol === 'http:' ? http : null;
    if (!client) {
      reject(new Error(`unsupported platform URL: ${url}`));
      return;
    }
    const payload = body === undefined ? null : Buffer.from(JSON.stringify(body));
    const headers = { Accept: 'application/json' };
    if (token) headers.Authorization = `Bearer ${token}`;
    if (payload) {
      headers['Content-Type'] = 'application/json';
      headers['Content-Length'] = payload.length;
    }
    const request = client.request(target, { method, headers }, (response) => {
      const chunks = [];
      let size = 0;
      response.on('data', (chunk) => {
        size += chunk.length;
        if (size > MAX_RESPONSE_BYTES) request.destroy(new Error('platform answer too large'));
        else chunks.push(chunk);
      });
      response.on('end', () => {
        clearTimeout(timer);
        let parsed = null;
        try {
          parsed = JSON.parse(Buffer.concat(chunks).toString('utf8'));
        } catch {
          parsed = null;
        }
        resolve({ status: response.statusCode, body: parsed });
      });
      response.on('error', reject);
    });
    // A whole-request deadline: a peer that trickles bytes must not hold a script forever.
    const timer = setTimeout(
      () => request.destroy(new Error(`no answer from ${target.origin} within ${timeoutMs / 1000} s`)),
      timeoutMs,
    );
    request.on('error', (error) => {
      clearTimeout(timer);
      reject(error);
    });
    request.end(payload ?? undefined);
  });
}

module.exports = { readEnvFile, updateEnvFile, joinUrl, platformRequest };
