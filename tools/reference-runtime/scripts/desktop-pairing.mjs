// Pairing is served by the development platform; this runtime only records the request.
console.log(`pairing: ${process.argv.slice(2).join(' ')}`);
