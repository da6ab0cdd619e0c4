// ESLint settings for the script of rekul-report's HTML page (src/report/page.js): the
// recommended rules, a browser script (no modules), and a few rules that catch the faults a
// page drawn from data is prone to.
import js from "@eslint/js";
import globals from "globals";

export default [
  js.configs.recommended,
  {
    files: ["**/*.js"],
    languageOptions: {
      ecmaVersion: 2020,
      sourceType: "script",
      globals: globals.browser,
    },
    rules: {
      "eqeqeq": "error",
      "no-var": "error",
      "prefer-const": "error",
      "no-shadow": "error",
      "no-implicit-globals": "error",
      "no-unused-vars": ["error", { "args": "none" }],
    },
  },
];
